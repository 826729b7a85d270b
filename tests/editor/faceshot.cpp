// Shows the post editor over a sample feed in a plain window, so the face can
// be looked at (and photographed) without the whole program.
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "htmlui/htmlsurface.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QWebEnginePage>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();

    CRSSEditDoc doc;
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ORVAN_SAMPLE_FEED);
    if (!doc.OpenDocumentFile(path))
        return 1;

    QMainWindow window;
    auto* view = new CRSSEditView(&doc);
    window.setCentralWidget(view);
    QMenu* edit = window.menuBar()->addMenu(u"&Edit"_s);
    QMenu* format = window.menuBar()->addMenu(u"F&ormat"_s);
    for (QAction* a : view->editActions()) {
        const int id = a->data().toInt();
        (id >= 57600 ? edit : format)->addAction(a);
    }
    window.statusBar()->showMessage(view->statusText());
    QObject::connect(view, &CRSSEditView::statusTextChanged, window.statusBar(),
                     [&window](const QString& text) { window.statusBar()->showMessage(text); });
    window.setWindowTitle(u"Orvan - "_s + doc.GetTitle());
    window.resize(1100, 760);
    window.move(40, 40);
    window.show();
    view->waitUntilLoaded();
    // Optional: the post to show, then a script to run in the face (e.g. to open a drop-down).
    doc.NotifyViews(nullptr, HintSelectPost,
                    argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 0);
    view->FocusBody();
    if (argc > 4)
        view->surface()->page()->runJavaScript(QString::fromLocal8Bit(argv[4]));
    if (argc > 2)
        QTimer::singleShot(QString::fromLocal8Bit(argv[2]).toInt(), &app, &QApplication::quit);
    return app.exec();
}
