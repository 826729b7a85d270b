// WebEngine needs its attributes before the application exists, so the tests
// bring their own main().
#include "app/appresources.h"
#include "editor/rsseditview.h"
#include "htmlui/htmlsurface.h"
#include "postsbar/postsbarcommands.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

int RunAppTests(int argc, char** argv);
int RunStartPageTests(int argc, char** argv);
int RunShellTests(int argc, char** argv);
int RunProblemsTests(int argc, char** argv);

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();
    int failures = RunStartPageTests(argc, argv);
    failures += RunAppTests(argc, argv);
    failures += RunShellTests(argc, argv);
    failures += RunProblemsTests(argc, argv);
    return failures;
}
