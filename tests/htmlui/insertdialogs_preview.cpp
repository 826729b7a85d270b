// Shows the Insert Hyperlink ("link") or Insert Image ("image") dialog for a
// look or a screenshot; the third argument goes on the clipboard first, the
// fourth fills the link's text. Quits by itself after the given milliseconds.
#include "htmlui/inserthyperlinkdialog.h"
#include "htmlui/insertimagedialog.h"
#include "web/websitetitlecache.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    const QStringList args = app.arguments();
    const QString which = args.value(1, u"link"_s);
    const int quitAfter = args.value(2).toInt();
    if (args.size() > 3)
        QApplication::clipboard()->setText(args.at(3));
    if (quitAfter > 0)
        QTimer::singleShot(quitAfter, &app, &QApplication::closeAllWindows);
    if (which == u"image"_s) {
        InsertImageDialog dialog{ImageInfo()};
        const int result = dialog.run();
        qInfo("result %d: %s", result, qPrintable(dialog.imageTag()));
        return 0;
    }
    // What the main window does with the titles the cache fetches.
    QObject::connect(&WebSiteTitleCache::instance(), &WebSiteTitleCache::titleArrived,
                     &InsertHyperlinkDialog::deliverTitle);
    LinkInfo info{QString(), args.value(4, u"news"_s), QString(), QString()};
    const bool ok = InsertHyperlinkDialog::editLink(info, InsertHyperlinkDialog::TextReadOnly);
    qInfo("ok %d: %s", int(ok), qPrintable(BuildLinkHtml(info, false)));
    return 0;
}
