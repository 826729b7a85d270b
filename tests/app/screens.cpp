// Takes screenshots of the program under a virtual X server: the start page,
// a feed window, the posts filter and the about box. Not a test; build the
// target orvan_screens and run it as
//   xvfb-run -a -s '-screen 0 1400x900x24' orvan_screens feed.xml outdir
#include "app/appresources.h"
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "feed/postfooter.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postsbarcommands.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

void Shot(const QString& dir, const QString& name) {
    QProcess::execute(u"import"_s, {u"-window"_s, u"root"_s, QDir(dir).filePath(name)});
}

void Wait(int ms) {
    QTest::qWait(ms);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();
    QIcon::setThemeName(u"Adwaita"_s);
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(u":/app/orvan-%1.png"_s.arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    InstallPostFooterFilter();
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString feed = args[1];
    const QString out = args[2];

    DesktopUiServices ui;
    CMainFrame frame(&ui);
    ui.setParentWidget(&frame);
    frame.restoreWindowState();
    frame.show();
    Wait(5000);
    Shot(out, u"1-start.png"_s);

    frame.openFiles({feed});
    Wait(5000);
    Shot(out, u"2-feed.png"_s);

    CChildFrame* child = frame.activeChildFrame();
    frame.runCommand(ID_POST_FILTERING);
    Wait(300);
    if (QLineEdit* box = child->postsBar()->FilterBox())
        QTest::keyClicks(box, u"re"_s);
    Wait(2500);
    Shot(out, u"3-filter.png"_s);
    frame.runCommand(ID_POST_FILTERING);

    QTimer::singleShot(2500, [&] {
        Shot(out, u"4-about.png"_s);
        if (QWidget* about = QApplication::activeModalWidget())
            QMetaObject::invokeMethod(about, "accept", Qt::QueuedConnection);
    });
    frame.runCommand(ID_APP_ABOUT);
    Wait(1000);

    child->document()->SetModifiedFlag(false);
    frame.runCommand(ID_FILE_CLOSE);
    Wait(4000);
    Shot(out, u"5-start-recent.png"_s);

    return 0;
}
