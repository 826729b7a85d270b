// Start-up: the application object, the resources of every part, the post
// footer filter, the main window, and the feeds named on the command line.
#include "app/appresources.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "editor/rsseditview.h"
#include "feed/postfooter.h"
#include "htmlui/htmlsurface.h"
#include "postsbar/postsbarcommands.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    // WebEngine shares its GL contexts; this must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    PrepareHtmlUi();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Orvan"_s);
    QApplication::setOrganizationName(u"Orvan"_s);
    QApplication::setApplicationDisplayName(u"Orvan"_s);
    QGuiApplication::setDesktopFileName(u"example.orvan.Orvan"_s);

    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();

    QIcon appIcon;
    for (int size : {16, 32, 48, 64, 128, 256})
        appIcon.addFile(u":/app/orvan-%1.png"_s.arg(size), QSize(size, size));
    QApplication::setWindowIcon(appIcon);
    // Without a desktop session Qt knows no icon theme; Adwaita is what Debian ships.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor"_s)
        QIcon::setThemeName(u"Adwaita"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Orvan, an editor for RSS 2.0 feed files."_s);
    parser.addHelpOption();
    parser.addPositionalArgument(u"files"_s, u"Feed files to open."_s, u"[files...]"_s);
    parser.process(app);

    InstallPostFooterFilter();

    DesktopUiServices ui;
    CMainFrame frame(&ui);
    ui.setParentWidget(&frame);
    frame.restoreWindowState();
    frame.show();
    frame.openFiles(parser.positionalArguments());
    return QApplication::exec();
}
