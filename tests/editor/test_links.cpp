// Links and images put into a post the way a user does it: keys into the
// editor page, Ctrl+K, Ctrl+L or the face's buttons, keys into the dialog,
// Enter or Esc, the real save, and then the saved file read back.
#include "../web/testhttpserver.h"
#include "app/appresources.h"
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "editortestkit.h"
#include "feed/postfooter.h"
#include "feed/rssfeed.h"
#include "htmlui/inserthyperlinkdialog.h"
#include "htmlui/insertimagedialog.h"
#include "platform/commandids.h"
#include "postsbar/postsbarcommands.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace editortest;

namespace {

class FakeUi final : public DesktopUiServices {
public:
    SaveAnswer AskSaveChanges(const QString&) override { return SaveAnswer::Save; }
    void ShowError(const QString& text) override { errors.append(text); }
    bool AskOkCancel(const QString&) override { return true; }
    QStringList errors;
};

QByteArray FeedWithPost(const QString& description) {
    QString text = description;
    EscapeForXml(text);
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
            u"<channel><title>Links</title><link>https://feed.example/</link>\n"
            u"<item><title>First</title><link>https://feed.example/1.html</link>"
            u"<description>%1</description></item>\n"
            u"<item><title>Second</title><link>https://feed.example/2.html</link>"
            u"<description>&lt;p&gt;Other&lt;/p&gt;</description></item>\n"
            u"</channel></rss>\n"_s.arg(text))
        .toUtf8();
}

QByteArray SamplePng() {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Watches for a modal dialog of type T; once it is up and active it runs
// step, which must close it. The key press that opens the dialog returns
// only after that, as the dialog runs inside it.
template <class T> class DialogStep final {
public:
    explicit DialogStep(std::function<void(T*)> step) : m_step(std::move(step)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isActiveWindow() || !ready(dialog))
                return;
            m_timer.stop();
            m_seen = true;
            m_step(dialog);
        });
        m_timer.start(20);
    }
    bool seen() const { return m_seen; }

private:
    static bool ready(QWidget* dialog) {
        // A page dialog takes keys once its first field has the focus.
        if (auto* page = qobject_cast<HtmlDialog*>(dialog))
            return page->surface()->focusedId() == u"edit_src"_s;
        return true;
    }

    std::function<void(T*)> m_step;
    QTimer m_timer;
    bool m_seen = false;
};

QWidget* pageKeys(HtmlDialog* dialog) {
    return dialog->surface()->view()->focusProxy();
}

// Replaces what the focused field of a page dialog holds by typing.
void retypeInPage(HtmlDialog* dialog, const QString& text) {
    QTest::keyClick(pageKeys(dialog), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pageKeys(dialog), Qt::Key_Backspace);
    QTest::keyClicks(pageKeys(dialog), text);
}

void retypeLine(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

} // namespace

class TestLinks final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeUi> m_ui;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<TestHttpServer> m_server;
    QString m_path;

    QString picture() const { return m_server->url(u"/pic.png"_s); }
    CRSSEditView* view() const { return m_frame->activeChildFrame()->view(); }
    CRSSEditDoc* doc() const { return m_frame->activeChildFrame()->document(); }

    void open(const QString& description) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(FeedWithPost(description));
        file.close();
        QVERIFY(m_frame->openDocumentFile(m_path));
        QVERIFY(view()->waitUntilLoaded());
        view()->surface()->flush();
        QTRY_VERIFY(!bodyHtml(view()).isEmpty());
    }

    // A real click into the post, then the caret to the start of its text.
    void caretToStart() {
        clickOn(view(), u"p"_s, true);
        QTRY_COMPARE(view()->surface()->focusedId(), u"richtext_frame"_s);
        pressKey(view(), Qt::Key_Home, Qt::ControlModifier);
    }

    // Selects count characters from offset of the post's text by keys.
    void selectByKeys(int offset, int count) {
        caretToStart();
        for (int i = 0; i < offset; ++i)
            pressKey(view(), Qt::Key_Right);
        for (int i = 0; i < count; ++i)
            pressKey(view(), Qt::Key_Right, Qt::ShiftModifier);
    }

    // Ctrl+S as a user presses it: once the window is back in front after
    // a dialog (the window shortcut acts only in the active window).
    void save() {
        QTRY_VERIFY(m_frame->isActiveWindow());
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
    }

    bool hyperlinkButtonOff() const {
        return view()->surface()->findById(u"tb_hyperlink"_s).attributes().contains(u"disabled"_s);
    }

    // The saved description of the first post, the program's footer left out.
    QString savedBody() const {
        CRssFeed feed;
        QString error;
        if (!feed.LoadFile(m_path, &error))
            return u"unreadable: "_s + error;
        QString text = feed.GetDescription(0);
        while (RemoveFooterParagraph(text)) {
        }
        return text;
    }

    // Elements, sorted attributes and texts of HTML as a browser reads it.
    QString structureOf(const QString& html) {
        const QString code = uR"((function (html) {
            const doc = new DOMParser().parseFromString(html, "text/html");
            const walk = (n) => n.nodeType === 3 ? n.data
                : [n.localName, Array.from(n.attributes, (a) => [a.name, a.value]).sort(),
                   Array.from(n.childNodes, walk)];
            return JSON.stringify(Array.from(doc.body.childNodes, walk));
        })(%1))"_s;
        QString literal =
            QString::fromUtf8(QJsonDocument(QJsonArray{html}).toJson(QJsonDocument::Compact));
        literal = literal.mid(1, literal.size() - 2);
        return runJs(view(), code.arg(literal)).toString();
    }

private slots:
    void initTestCase() {
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            qunsetenv(name);
        m_server = std::make_unique<TestHttpServer>();
        m_server->page("/pic.png", SamplePng(), "image/png");
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"feed.xml"_s);
        // Nothing is suggested from the clipboard but the local picture.
        QApplication::clipboard()->setText(picture());
        m_ui = std::make_unique<FakeUi>();
        m_frame = std::make_unique<CMainFrame>(m_ui.get());
        m_ui->setParentWidget(m_frame.get());
        m_frame->resize(1200, 800);
        m_frame->show();
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    }

    void cleanup() {
        for (CChildFrame* frame : m_frame->childFrames())
            frame->document()->SetModifiedFlag(false);
        m_frame.reset();
        m_ui.reset();
        m_dir.reset();
    }

    void selectionCtrlK_savedAsLinkAroundIt_data() {
        QTest::addColumn<QString>("post");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("expected");
        QTest::newRow("word, trailing blank")
            << u"<p>Read the news today</p>"_s << 9 << 4 << u"https://news.example/a?b=1&c=2"_s
            << QString() << u"news"_s
            << u"<p>Read the <a href=\"https://news.example/a?b=1&amp;c=2\" target=\"_blank\">"
               u"news</a>  today</p>"_s;
        QTest::newRow("quotes and markup in url and text")
            << u"<p>x a &lt;b&gt; &amp; c</p>"_s << 2 << 9 << u"https://q.example/?a=\"1\"&b=<2>"_s
            << u"_top"_s << u"a <b> & c"_s
            << u"<p>x <a href=\"https://q.example/?a=&quot;1&quot;&amp;b=<2>\" target=\"_top\">"
               u"a &lt;b&gt; &amp; c</a> </p>"_s;
    }

    // The word stays (Ctrl+K is not the engine's "delete to end of line"),
    // the link goes around it with a blank after, the document is modified,
    // the file holds it, and one undo takes it all back.
    void selectionCtrlK_savedAsLinkAroundIt() {
        QFETCH(QString, post);
        QFETCH(int, offset);
        QFETCH(int, count);
        QFETCH(QString, url);
        QFETCH(QString, target);
        QFETCH(QString, selected);
        QFETCH(QString, expected);
        open(post);
        selectByKeys(offset, count);
        QString shownText;
        DialogStep<InsertHyperlinkDialog> step([&](InsertHyperlinkDialog* dialog) {
            shownText = dialog->textEdit()->text();
            QTest::keyClicks(dialog->urlEdit(), url);
            if (!target.isEmpty())
                retypeLine(dialog->targetCombo()->lineEdit(), target);
            QTest::keyClick(dialog->urlEdit(), Qt::Key_Return);
        });
        pressKey(view(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(step.seen());
        QTRY_VERIFY(doc()->IsModified());
        save();
        QVERIFY(!doc()->IsModified());
        QCOMPARE(shownText, selected);
        QCOMPARE(structureOf(savedBody()), structureOf(expected));

        pressKey(view(), Qt::Key_Z, Qt::ControlModifier);
        save();
        QCOMPARE(structureOf(savedBody()), structureOf(post));
    }

    void selectedImageCtrlK_linkWrapsTheOneImage() {
        open(u"<p>a<img src=\"%1\" alt=\"pic\">b</p>"_s.arg(picture()));
        QTRY_VERIFY(rectOf(view(), u"img"_s, true).width() == 40);
        const QRect image = rectOf(view(), u"img"_s, true);
        QTest::mouseClick(keyWidget(view()), Qt::LeftButton, {}, image.center());
        QTRY_COMPARE(view()->CurrentObjectTag(), u"img"_s);
        DialogStep<InsertHyperlinkDialog> step([&](InsertHyperlinkDialog* dialog) {
            QTest::keyClicks(dialog->urlEdit(), u"https://img.example/big.png"_s);
            QTest::keyClick(dialog->urlEdit(), Qt::Key_Return);
        });
        pressKey(view(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(step.seen());
        save();
        QCOMPARE(
            structureOf(savedBody()),
            structureOf(
                u"<p>a<a href=\"https://img.example/big.png\" target=\"_blank\"><img src=\"%1\" "
                u"alt=\"pic\"></a> b</p>"_s.arg(picture())));
    }

    void caretInLink_dialogShowsItAndOkRewritesOnlyItsFields() {
        open(u"<p>See <a href=\"https://a.example/x\" title=\"Old\" target=\"_top\" "
             u"class=\"keep\" rel=\"nofollow\">the site</a> now</p>"_s);
        clickOn(view(), u"a"_s, true);
        QTRY_VERIFY(view()->FindCurrentObject(u"a"_s) >= 0);
        bool enabled = false;
        QVERIFY(view()->commandStatus(ID_INSERT_HYPERLINK, &enabled));
        QVERIFY(enabled);
        QStringList shown;
        DialogStep<InsertHyperlinkDialog> step([&](InsertHyperlinkDialog* dialog) {
            shown = QStringList{dialog->urlEdit()->text(), dialog->titleEdit()->text(),
                                dialog->targetCombo()->currentText(), dialog->textEdit()->text()};
            retypeLine(dialog->urlEdit(), u"https://b.example/y&z"_s);
            retypeLine(dialog->titleEdit(), QString());
            retypeLine(dialog->targetCombo()->lineEdit(), u"_parent"_s);
            QTest::keyClick(dialog->titleEdit(), Qt::Key_Return);
        });
        pressKey(view(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(step.seen());
        QCOMPARE(shown,
                 (QStringList{u"https://a.example/x"_s, u"Old"_s, u"_top"_s, u"the site"_s}));
        save();
        QCOMPARE(structureOf(savedBody()),
                 structureOf(u"<p>See <a href=\"https://b.example/y&amp;z\" target=\"_parent\" "
                             u"class=\"keep\" rel=\"nofollow\">the site</a> now</p>"_s));
    }

    // A new image from the face's button, with markup characters typed into
    // its source and alternate text: well-formed and exact in the file.
    void imageButton_typedSourceAndAlt_savedExactly() {
        open(u"<p>Text</p>"_s);
        caretToStart();
        pressKey(view(), Qt::Key_End);
        const QString source = picture() + u"?a=\"1\"&b=<2>"_s;
        const QString alt = u"Tom & \"Jerry\" <3"_s;
        bool altTyped = false;
        DialogStep<InsertImageDialog> step([&](InsertImageDialog* dialog) {
            retypeInPage(dialog, source);
            QTest::keyClick(pageKeys(dialog), Qt::Key_Tab);
            QTest::keyClicks(pageKeys(dialog), alt);
            altTyped = QTest::qWaitFor(
                [&] { return dialog->surface()->namedValue(u"edit_alt"_s) == alt; });
            QTest::keyClick(pageKeys(dialog), Qt::Key_Return);
        });
        clickOn(view(), u"#tb_image"_s);
        QTRY_VERIFY(step.seen());
        QVERIFY(altTyped);
        QTRY_VERIFY(doc()->IsModified());
        save();
        const QString stored = savedBody();
        const QString expected =
            u"<p>Text<img src=\"%1\" alt=\"%2\" border=\"0\" hspace=\"1\" vspace=\"1\"></p>"_s.arg(
                source.toHtmlEscaped(), alt.toHtmlEscaped());
        QCOMPARE(structureOf(stored), structureOf(expected));
    }

    // An existing image shows its numbers (a percentage as its number),
    // writes back what the dialog shows and keeps what the dialog does not.
    void imageCtrlL_editShowsFiftyAndKeepsTheRest() {
        open(u"<p>a<img src=\"%1\" width=\"50%\" alt=\"pic\" style=\"float: left\">b</p>"_s.arg(
            picture()));
        QTRY_VERIFY(rectOf(view(), u"img"_s, true).width() > 0);
        QTest::mouseClick(keyWidget(view()), Qt::LeftButton, {},
                          rectOf(view(), u"img"_s, true).center());
        QTRY_COMPARE(view()->CurrentObjectTag(), u"img"_s);
        QString shownWidth;
        QString shownBorder;
        bool altTyped = false;
        DialogStep<InsertImageDialog> step([&](InsertImageDialog* dialog) {
            shownWidth = dialog->surface()->namedValue(u"edit_width"_s).toText();
            shownBorder = dialog->surface()->namedValue(u"edit_border"_s).toText();
            QTest::keyClick(pageKeys(dialog), Qt::Key_Tab);
            QTest::keyClick(pageKeys(dialog), Qt::Key_End);
            QTest::keyClicks(pageKeys(dialog), u"!"_s);
            altTyped = QTest::qWaitFor(
                [&] { return dialog->surface()->namedValue(u"edit_alt"_s) == u"pic!"_s; });
            QTest::keyClick(pageKeys(dialog), Qt::Key_Return);
        });
        pressKey(view(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(step.seen());
        QVERIFY(altTyped);
        QCOMPARE(shownWidth, u"50"_s);
        QCOMPARE(shownBorder, QString());
        save();
        QCOMPARE(structureOf(savedBody()),
                 structureOf(u"<p>a<img src=\"%1\" width=\"50\" alt=\"pic!\" "
                             u"style=\"float: left\">b</p>"_s.arg(picture())));
    }

    void cancel_bodyAndDocumentUnchanged_data() {
        QTest::addColumn<QString>("post");
        QTest::addColumn<QString>("place");
        QTest::addColumn<int>("key");
        QTest::newRow("new link") << u"<p>Read the news</p>"_s << u"select"_s << int(Qt::Key_K);
        QTest::newRow("link edit")
            << u"<p>See <a href=\"https://a.example/\">it</a></p>"_s << u"a"_s << int(Qt::Key_K);
        QTest::newRow("new image") << u"<p>Read the news</p>"_s << u"p"_s << int(Qt::Key_L);
        QTest::newRow("image edit")
            << u"<p>a<img src=\"PIC\" width=\"50%\">b</p>"_s << u"img"_s << int(Qt::Key_L);
    }

    void cancel_bodyAndDocumentUnchanged() {
        QFETCH(QString, post);
        QFETCH(QString, place);
        QFETCH(int, key);
        post.replace(u"PIC"_s, picture());
        open(post);
        if (place == u"select"_s) {
            selectByKeys(9, 4);
        } else {
            QTRY_VERIFY(rectOf(view(), place, true).width() > 0);
            QTest::mouseClick(keyWidget(view()), Qt::LeftButton, {},
                              rectOf(view(), place, true).center());
        }
        view()->surface()->flush();
        const QString before = bodyHtml(view());
        QVERIFY(!doc()->IsModified());
        const auto escape = [](QWidget* dialog) {
            if (auto* page = qobject_cast<HtmlDialog*>(dialog))
                QTest::keyClick(pageKeys(page), Qt::Key_Escape);
            else
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
        };
        DialogStep<QDialog> step(escape);
        pressKey(view(), Qt::Key(key), Qt::ControlModifier);
        QTRY_VERIFY(step.seen());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        view()->surface()->flush();
        QTest::qWait(100);
        QCOMPARE(bodyHtml(view()), before);
        QVERIFY(!doc()->IsModified());
    }

    // Nothing to link: the command is off, on the menu and the face's
    // button, and Ctrl+K neither opens anything nor deletes any text.
    void caretInPlainText_hyperlinkOffAndCtrlKDeletesNothing() {
        open(u"<p>Read the news today</p>"_s);
        selectByKeys(5, 0);
        view()->surface()->flush();
        QTRY_VERIFY(hyperlinkButtonOff());
        bool enabled = true;
        QVERIFY(view()->commandStatus(ID_INSERT_HYPERLINK, &enabled));
        QVERIFY(!enabled);
        DialogStep<QDialog> step([](QDialog* dialog) { dialog->reject(); });
        pressKey(view(), Qt::Key_K, Qt::ControlModifier);
        typeKeys(view(), u"X"_s);
        save();
        QVERIFY(!step.seen());
        QCOMPARE(savedBody(), u"<p>Read Xthe news today</p>"_s);

        pressKey(view(), Qt::Key_Right, Qt::ShiftModifier);
        QTRY_VERIFY(!hyperlinkButtonOff());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();
    InstallPostFooterFilter();
    TestLinks test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_links.moc"
