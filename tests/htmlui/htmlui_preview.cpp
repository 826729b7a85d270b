// Shows the Create RSS Feed dialog for a look (or a screenshot), filled with
// sample texts; quits by itself after the given milliseconds.
#include "htmlui/createfeeddialog.h"

#include <QApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    const int quitAfter = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    if (quitAfter > 0)
        QTimer::singleShot(quitAfter, &app, &QApplication::closeAllWindows);
    NewFeedInfo info{argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString(), QString(), QString()};
    CreateFeedDialog dialog;
    const int result = dialog.run(info);
    qInfo("result %d: %s | %s | %s", result, qPrintable(info.title), qPrintable(info.link),
          qPrintable(info.category));
    return 0;
}
