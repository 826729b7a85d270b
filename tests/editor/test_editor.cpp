// The post editor driven through its page: keys typed into the face reach
// the document, commands follow the caret, and post HTML stays inert.
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "editortestkit.h"
#include "feed/rssfeed.h"
#include "feed/rsspost.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace editortest;

namespace {

// Stands in for the frame's hub: remembers every hint that passes.
class HintRecorder final : public DocumentListener {
public:
    void onNotify(DocumentListener*, DocHint hint, const HintParam& param) override {
        hints.append(hint);
        if (hint == HintSetDescription)
            descriptions.append(param.text);
    }
    QList<int> hints;
    QStringList descriptions;
};

// Puts the body's selection into the first text inside the element matched
// by selector (within the body), from start to end (end < 0: a caret).
void selectInBody(CRSSEditView* view, const QString& selector, int start, int end = -1) {
    runJs(view, uR"(
        (function () {
            const frame = document.getElementById("richtext_frame");
            const doc = frame.contentDocument;
            const body = doc.body;
            const host = %1 ? body.querySelector(%1) : body;
            const walker = doc.createTreeWalker(host, NodeFilter.SHOW_TEXT);
            const text = walker.nextNode();
            frame.focus();
            body.focus();
            const r = doc.createRange();
            r.setStart(text, %2);
            r.setEnd(text, %3);
            const sel = doc.getSelection();
            sel.removeAllRanges();
            sel.addRange(r);
        })();
    )"_s.arg(selector.isEmpty() ? u"''"_s : u'"' + selector + u'"')
                    .arg(start)
                    .arg(end < 0 ? start : end));
    view->surface()->flush();
}

} // namespace

class TestEditor final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CRSSEditDoc> m_doc;
    std::unique_ptr<CRSSEditView> m_view;
    HintRecorder m_hub;

    // A document over the sample feed with a loaded face showing post index.
    void open(int index) {
        m_view.reset();
        m_doc = std::make_unique<CRSSEditDoc>();
        QVERIFY(m_doc->OpenDocumentFile(QStringLiteral(ORVAN_TEST_DATA_DIR "/sample.xml")));
        m_hub = HintRecorder();
        m_doc->SetFrameHub(&m_hub);
        m_view = std::make_unique<CRSSEditView>(m_doc.get());
        m_view->resize(900, 600);
        m_view->show();
        QVERIFY(m_view->waitUntilLoaded());
        m_doc->NotifyViews(nullptr, HintSelectPost, index);
        m_view->surface()->flush();
        m_doc->SetModifiedFlag(false);
        m_hub.hints.clear();
    }

    // Shows a description in post 1 of a fresh document.
    void openWithBody(const QString& description) {
        open(0);
        m_doc->GetFeed().SetDescription(1, description);
        m_doc->NotifyViews(nullptr, HintSelectPost, 1);
        m_view->surface()->flush();
        m_doc->SetModifiedFlag(false);
        m_hub.hints.clear();
    }

private slots:
    void cleanup() {
        m_view.reset();
        m_doc.reset();
    }

    void typeInBody_marksModifiedThenStoresCleanedBodyOncePaused() {
        open(1);
        clickOn(m_view.get(), u"p"_s, true);
        pressKey(m_view.get(), Qt::Key_End);
        typeKeys(m_view.get(), u"X"_s);
        QTRY_VERIFY(m_doc->IsModified());
        QTRY_VERIFY(m_hub.hints.contains(HintSetDescription));
        const QString sent = m_hub.descriptions.last();
        QCOMPARE(sent, u"<p>Hello and welcome.X</p>"_s);
        QCOMPARE(m_doc->GetFeed().GetDescription(1), sent);
        QVERIFY(m_view->IsFaceChanged());
    }

    void readOnly_keysChangeNothing() {
        open(1);
        m_view->setReadOnly(true);
        const QString title = m_doc->GetFeed().GetTitle(1);
        for (const QString& field :
             {u"#div_title"_s, u"#richtext_frame"_s, u"#select_link input"_s}) {
            clickOn(m_view.get(), field);
            typeKeys(m_view.get(), u"zz"_s);
        }
        // Nor do the editing commands and their keys.
        pressKey(m_view.get(), Qt::Key_B, Qt::ControlModifier);
        m_view->handleCommand(ID_FORMAT_UL_LIST);
        m_view->InsertHtml(u"<b>zz</b>"_s);
        m_doc->NotifyViews(nullptr, HintStorePost, 1);
        QVERIFY(!m_doc->IsModified());
        QCOMPARE(m_doc->GetFeed().GetTitle(1), title);
        QCOMPARE(m_doc->GetFeed().GetDescription(1), u"<p>Hello and welcome.</p>"_s);
        QVERIFY(!bodyHtml(m_view.get()).contains(u"zz"_s));
        m_view->setReadOnly(false);
        clickOn(m_view.get(), u"#richtext_frame"_s);
        typeKeys(m_view.get(), u"zz"_s);
        m_doc->NotifyViews(nullptr, HintStorePost, 1);
        QVERIFY(m_doc->GetFeed().GetDescription(1).contains(u"zz"_s));
    }

    void commitAfterLoad_storesNothing() {
        open(0);
        const QString before = m_doc->GetFeed().GetDescription(0);
        const QString date = m_doc->GetFeed().GetPubDate(0);
        m_doc->NotifyViews(nullptr, HintStorePost, 0);
        QCOMPARE(m_doc->GetFeed().GetDescription(0), before);
        QCOMPARE(m_doc->GetFeed().GetPubDate(0), date);
        QVERIFY(!m_doc->IsModified());
    }

    void linkList_offersFeedLinksInOrdinalOrderWhenOpened() {
        open(1);
        clickOn(m_view.get(), u"#select_link .dropdown-button"_s);
        QTRY_VERIFY(runJs(m_view.get(),
                          u"document.querySelector('#select_link').classList.contains('open')"_s)
                        .toBool());
        const QStringList options =
            runJs(
                m_view.get(),
                u"Array.from(document.querySelectorAll('#select_link option'), o => o.textContent)"_s)
                .toStringList();
        const QStringList links = m_doc->GetFeed().GetAllLinks();
        QVERIFY(links.size() >= 2);
        // After the page's own default choice, the feed's links in ordinal order.
        QCOMPARE(options.mid(options.size() - links.size()), links);
        QCOMPARE(options.size(), links.size() + 1);
        QCOMPARE(m_view->ShownChoice(u"select_link"_s), m_doc->GetFeed().GetLink(1));
    }

    void caretStyle_checksCommands_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<bool>("strike");
        QTest::newRow("strong") << u"<p><strong>word</strong></p>"_s << true << false << false
                                << false;
        QTest::newRow("weight 700") << u"<p><span style=\"font-weight: 700\">word</span></p>"_s
                                    << true << false << false << false;
        QTest::newRow("weight 600") << u"<p><span style=\"font-weight: 600\">word</span></p>"_s
                                    << false << false << false << false;
        QTest::newRow("em") << u"<p><em>word</em></p>"_s << false << true << false << false;
        QTest::newRow("u") << u"<p><u>word</u></p>"_s << false << false << true << false;
        QTest::newRow("s") << u"<p><s>word</s></p>"_s << false << false << false << true;
        QTest::newRow("both lines")
            << u"<p><span style=\"text-decoration: underline line-through\">word</span></p>"_s
            << false << false << true << true;
        QTest::newRow("plain") << u"<p>word</p>"_s << false << false << false << false;
    }

    void caretStyle_checksCommands() {
        QFETCH(QString, html);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        QFETCH(bool, strike);
        openWithBody(html);
        selectInBody(m_view.get(), QString(), 2);
        QTRY_VERIFY(m_view->action(ID_FORMAT_BOLD)->isEnabled());
        QCOMPARE(m_view->action(ID_FORMAT_BOLD)->isChecked(), bold);
        QCOMPARE(m_view->action(ID_FORMAT_ITALIC)->isChecked(), italic);
        QCOMPARE(m_view->action(ID_FORMAT_UNDERLINE)->isChecked(), underline);
        QCOMPARE(m_view->action(ID_FORMAT_STRIKEOUT)->isChecked(), strike);
        m_view->surface()->flush();
        QCOMPARE(m_view->surface()->findById(u"tb_strikeout"_s).attribute(u"checked"_s).isNull(),
                 !strike);
    }

    void removeSpans_cleansBodyAndMarksModified() {
        openWithBody(u"<p style='color:red'>x <span class=\"a\">y</span></p>"_s);
        QVERIFY(m_view->handleCommand(ID_FORMAT_REMOVE_SPANS));
        QCOMPARE(m_doc->GetFeed().GetDescription(1), u"<p>x y</p>"_s);
        QVERIFY(m_doc->IsModified());
        QVERIFY(m_view->IsFaceChanged());
        QVERIFY(m_hub.hints.contains(HintSetDescription));
        m_view->surface()->flush();
        QVERIFY(!bodyHtml(m_view.get()).contains(u"span"_s));
    }

    void removeNbsp_withoutEntity_changesNothing() {
        openWithBody(u"<p>a b</p>"_s);
        QVERIFY(m_view->handleCommand(ID_FORMAT_REMOVE_NBSP));
        QVERIFY(!m_doc->IsModified());
        QVERIFY(!m_hub.hints.contains(HintSetDescription));
    }

    void removeNbsp_replacesEntityWithBlank() {
        openWithBody(u"<p>a&nbsp;b</p>"_s);
        QVERIFY(m_view->handleCommand(ID_FORMAT_REMOVE_NBSP));
        QCOMPARE(m_doc->GetFeed().GetDescription(1), u"<p>a b</p>"_s);
        QVERIFY(m_doc->IsModified());
    }

    void caretQueries_followTheCaret() {
        openWithBody(u"<p>plain text <a href=\"https://x.example/page\">the link</a></p>"_s);
        selectInBody(m_view.get(), u"p"_s, 2);
        QTRY_COMPARE(m_view->CurrentObjectTag(), u"p"_s);
        QStringList objects;
        QVERIFY(m_view->GetCurrentObjects(objects));
        QCOMPARE(objects, QStringList{u"p"_s});
        QVERIFY(!m_view->CanEditLink());
        QCOMPARE(m_view->FindCurrentObject(u"a"_s), -1);
        QCOMPARE(m_view->statusText(), u"Ready"_s);
        m_view->surface()->flush();
        QVERIFY(!m_view->surface()->findById(u"tb_hyperlink"_s).attribute(u"disabled"_s).isNull());

        selectInBody(m_view.get(), u"a"_s, 3);
        QTRY_COMPARE(m_view->FindCurrentObject(u"a"_s), 1);
        QVERIFY(m_view->CanEditLink());
        QCOMPARE(m_view->CurrentObjectTag(), u"a"_s);
        QCOMPARE(m_view->statusText(), u"https://x.example/page"_s);
        QMap<QString, QString> attributes;
        QVERIFY(m_view->GetCurrentObjectAttributes(1, attributes));
        QCOMPARE(attributes.value(u"href"_s), u"https://x.example/page"_s);
        QMap<QString, QString> untouched{{u"k"_s, u"v"_s}};
        QVERIFY(!m_view->GetCurrentObjectAttributes(2, untouched));
        QCOMPARE(untouched.size(), 1);

        selectInBody(m_view.get(), u"p"_s, 0, 5);
        int start = -1;
        int end = -1;
        QTRY_VERIFY(m_view->GetSelectionRange(start, end) && end == 5);
        QCOMPARE(start, 0);
        QVERIFY(m_view->CanEditLink());
        QCOMPARE(m_view->GetSelectionText(), u"plain"_s);
        QCOMPARE(m_view->GetSelectionFragment(), u"plain"_s);
        QCOMPARE(m_view->GetLinkRunText(), u"plain text "_s);
    }

    void untrustedHtml_neverRuns_data() {
        QTest::addColumn<QString>("html");
        QTest::newRow("script") << u"<p>a</p><script>document.title = 'ran';</script>"_s;
        QTest::newRow("onerror")
            << u"<p>a</p><img src=\"nowhere.png\" onerror=\"document.title = 'ran'\">"_s;
        QTest::newRow("onload svg") << u"<svg onload=\"document.title = 'ran'\"></svg>"_s;
        QTest::newRow("refresh")
            << u"<meta http-equiv=\"refresh\" content=\"0; url=https://evil.example/\"><p>a</p>"_s;
    }

    void untrustedHtml_neverRuns() {
        QFETCH(QString, html);
        openWithBody(html);
        // Give an image error or a refresh time to happen.
        QTest::qWait(300);
        m_view->surface()->flush();
        QCOMPARE(runJs(m_view.get(), u"document.title"_s).toString(), u"Orvan post editor"_s);
        QCOMPARE(inFrame(m_view.get(), u"return doc.title;"_s).toString(), QString());
        QCOMPARE(m_view->surface()->page()->url(), QUrl(u"qrc:/editor/face.html"_s));
        // The post keeps what it held.
        m_doc->NotifyViews(nullptr, HintStorePostQuietly, 1);
        QCOMPARE(m_doc->GetFeed().GetDescription(1), html);
    }

    void loadPostWithoutLink_showsEmptyFields() {
        open(0);
        m_doc->NotifyViews(nullptr, HintSelectPost, 2);
        QCOMPARE(m_view->ShownChoice(u"select_link"_s), QString());
        QCOMPARE(m_view->ShownChoice(u"select_author"_s), QString());
        m_doc->NotifyViews(nullptr, HintStorePostQuietly, 2);
        QCOMPARE(m_doc->GetFeed().GetLink(2), QString());
        QCOMPARE(m_doc->GetFeed().GetAuthor(2), QString());
        m_view->surface()->flush();
        QCOMPARE(m_view->ShownChoice(u"select_link"_s), QString());
        // The empty link field shows the placeholder in red, as a placeholder only.
        QCOMPARE(runJs(m_view.get(), u"document.querySelector('#select_link input').placeholder"_s)
                     .toString(),
                 u"<Enter link to article here...>"_s);
        QVERIFY(
            runJs(m_view.get(),
                  u"document.querySelector('#select_link input').matches(':placeholder-shown')"_s)
                .toBool());
    }

    void addPost_keepsAuthorAndNeverStoresPlaceholder() {
        open(0);
        const QString author = m_doc->GetFeed().GetAuthor(0);
        QVERIFY(m_doc->OnPostAdd());
        QCOMPARE(m_view->ShownChoice(u"select_author"_s), author);
        QCOMPARE(m_doc->GetFeed().GetAuthor(0), author);
        QCOMPARE(m_view->ShownChoice(u"select_link"_s), QString());
        m_view->surface()->flush();
        m_doc->NotifyViews(nullptr, HintStorePostQuietly, 0);
        QVERIFY(!m_doc->GetFeed().GetLink(0).contains(u"Enter link"_s));
    }

    void duplicatePost_showsItsOwnLinkAndAuthor() {
        open(2);
        // The post on show has no link; its copy of post 1 must show post 1's.
        m_doc->NotifyViews(nullptr, HintSelectPost, 1);
        const QString link = m_doc->GetFeed().GetLink(1);
        m_doc->NotifyViews(nullptr, HintSelectPost, 2);
        m_doc->NotifyViews(nullptr, HintSelectPost, 1);
        QVERIFY(m_doc->OnPostDuplicate());
        QCOMPARE(m_view->ShownChoice(u"select_link"_s), link);
        m_view->surface()->flush();
        m_doc->NotifyViews(nullptr, HintStorePostQuietly, 0);
        QCOMPARE(m_doc->GetFeed().GetLink(0), link);
    }

    void undoAfterToggle_restoresBody() {
        openWithBody(u"<p>one two</p>"_s);
        selectInBody(m_view.get(), u"p"_s, 0, 3);
        QTRY_VERIFY(m_view->action(ID_FORMAT_BOLD)->isEnabled());
        QVERIFY(m_view->handleCommand(ID_FORMAT_BOLD));
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), u"<p><strong>one</strong> two</p>"_s);
        QVERIFY(m_doc->IsModified());
        QTRY_VERIFY(m_view->action(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(m_view->handleCommand(ID_EDIT_UNDO));
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), u"<p>one two</p>"_s);
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<p>one two</p>"_s);
        QVERIFY(m_view->handleCommand(ID_EDIT_REDO));
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), u"<p><strong>one</strong> two</p>"_s);
    }

    void typedKeys_undoInOneStep() {
        openWithBody(u"<p>ab</p>"_s);
        selectInBody(m_view.get(), u"p"_s, 2);
        QWidget* keys = m_view->surface()->view()->focusProxy();
        QVERIFY(keys);
        keys->setFocus();
        QTest::keyClicks(keys, u"cd"_s);
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<p>abcd</p>"_s);
        QTRY_VERIFY(m_view->action(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(m_view->handleCommand(ID_EDIT_UNDO));
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<p>ab</p>"_s);
        // The browser's own undo key goes to the same history.
        QTest::keyClick(keys, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<p>abcd</p>"_s);
    }

    void pasteCommand_insertsClipboardAndUndoes() {
        openWithBody(u"<p>ab</p>"_s);
        selectInBody(m_view.get(), u"p"_s, 1);
        m_view->surface()->view()->focusProxy()->setFocus();
        QGuiApplication::clipboard()->setText(u"zz"_s);
        QVERIFY(m_view->handleCommand(ID_EDIT_PASTE));
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<p>azzb</p>"_s);
        QTRY_VERIFY(m_view->action(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(m_view->handleCommand(ID_EDIT_UNDO));
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<p>ab</p>"_s);
    }

    void toolbarButtons_reachTheView() {
        openWithBody(u"<p>one <a href=\"https://x.example/\">two</a></p>"_s);
        QSignalSpy requested(m_view.get(), &CRSSEditView::commandRequested);
        selectInBody(m_view.get(), u"a"_s, 0, 3);
        QTRY_VERIFY(m_view->CanEditLink());
        m_view->surface()->flush();
        runJs(m_view.get(), u"document.getElementById('tb_hyperlink').click()"_s);
        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0).at(0).toInt(), int(ID_INSERT_HYPERLINK));
        runJs(m_view.get(), u"document.getElementById('tb_strikeout').click()"_s);
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1),
                     u"<p>one <a href=\"https://x.example/\"><s>two</s></a></p>"_s);
        QVERIFY(m_doc->IsModified());
        QTRY_VERIFY(m_view->action(ID_FORMAT_STRIKEOUT)->isChecked());
    }

    void printToPdf_rendersThePost() {
        open(0);
        QByteArray pdf;
        bool done = false;
        m_view->printToPdf([&](const QByteArray& bytes) {
            pdf = bytes;
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
        QVERIFY(pdf.startsWith("%PDF"));
    }

    void toolbarCommand_reshapesBody_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("strong on") << u"<p>one two</p>"_s << u"p"_s << 4 << 7 << u"strong"_s
                                   << u"<p>one <strong>two</strong></p>"_s;
        QTest::newRow("strong off") << u"<p>one <strong>two</strong></p>"_s << u"strong"_s << 0 << 3
                                    << u"strong"_s << u"<p>one two</p>"_s;
        QTest::newRow("em at caret takes the word")
            << u"<p>one two</p>"_s << u"p"_s << 5 << -1 << u"em"_s << u"<p>one <em>two</em></p>"_s;
        QTest::newRow("strong across paragraphs")
            << u"<p>ab</p><p>cd</p>"_s << QString() << 1 << -2 << u"strong"_s
            << u"<p>a<strong>b</strong></p><p><strong>c</strong>d</p>"_s;
        QTest::newRow("header") << u"<p>one</p>"_s << u"p"_s << 1 << -1 << u"h2"_s
                                << u"<h2>one</h2>"_s;
        QTest::newRow("header again is a paragraph")
            << u"<h2>one</h2>"_s << u"h2"_s << 1 << -1 << u"h2"_s << u"<p>one</p>"_s;
        QTest::newRow("ordered list")
            << u"<p>one</p>"_s << u"p"_s << 1 << -1 << u"li-ol"_s << u"<ol><li>one</li></ol>"_s;
        QTest::newRow("list off") << u"<ul><li>one</li></ul>"_s << u"li"_s << 1 << -1 << u"li-ul"_s
                                  << u"<p>one</p>"_s;
        QTest::newRow("nest item")
            << u"<ul><li>a</li><li>b</li></ul>"_s << u"li:nth-child(2)"_s << 0 << -1
            << u"indent-inc"_s << u"<ul><li>a<ul><li>b</li></ul></li></ul>"_s;
        QTest::newRow("quote") << u"<p>a</p>"_s << u"p"_s << 0 << -1 << u"indent-inc"_s
                               << u"<blockquote><p>a</p></blockquote>"_s;
        QTest::newRow("unquote") << u"<blockquote><p>a</p></blockquote>"_s << u"p"_s << 0 << -1
                                 << u"indent-dec"_s << u"<p>a</p>"_s;
        QTest::newRow("loose text gets a paragraph")
            << u"loose"_s << QString() << 1 << -1 << u"pre"_s << u"<pre>loose</pre>"_s;
    }

    void toolbarCommand_reshapesBody() {
        QFETCH(QString, html);
        QFETCH(QString, selector);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, command);
        QFETCH(QString, expected);
        openWithBody(html);
        if (end == -2) {
            // From the first paragraph's text to the second's.
            inFrame(m_view.get(), u"const ps = body.querySelectorAll('p');"
                                  u"frame.focus(); body.focus();"
                                  u"const r = doc.createRange();"
                                  u"r.setStart(ps[0].firstChild, %1);"
                                  u"r.setEnd(ps[1].firstChild, 1);"
                                  u"doc.getSelection().removeAllRanges();"
                                  u"doc.getSelection().addRange(r);"_s.arg(start));
        } else {
            selectInBody(m_view.get(), selector, start, end);
        }
        m_view->surface()->flush();
        m_view->surface()->callMethod(u"#richtext_edit"_s, u"command"_s, {HtmlValue(command)});
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), expected);
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), expected);
        // Every command is one step back.
        m_view->handleCommand(ID_EDIT_UNDO);
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), html);
    }

    void insertHtml_isUndoable() {
        openWithBody(u"<p>ab</p>"_s);
        selectInBody(m_view.get(), u"p"_s, 1);
        m_view->InsertHtml(u"<em>X</em>"_s);
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), u"<p>a<em>X</em>b</p>"_s);
        m_view->handleCommand(ID_EDIT_UNDO);
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), u"<p>ab</p>"_s);
    }

    void insertTest_namesInnermostObject() {
        openWithBody(u"<p>x <em>word</em></p>"_s);
        selectInBody(m_view.get(), u"em"_s, 1);
        QTRY_COMPARE(m_view->CurrentObjectTag(), u"em"_s);
        QString shown;
        m_view->setMessageSink([&](const QString& text) { shown = text; });
        QVERIFY(m_view->handleCommand(ID_INSERT_TEST));
        QCOMPARE(shown, u"Current Object Tag: em"_s);
    }

    void ulList_makesListWithoutMarking() {
        openWithBody(u"<p>item</p>"_s);
        selectInBody(m_view.get(), u"p"_s, 1);
        QVERIFY(m_view->handleCommand(ID_FORMAT_UL_LIST));
        m_view->surface()->flush();
        QCOMPARE(bodyHtml(m_view.get()), u"<ul><li>item</li></ul>"_s);
        // The body's own change event stores it and marks the document.
        QTRY_COMPARE(m_doc->GetFeed().GetDescription(1), u"<ul><li>item</li></ul>"_s);
    }
};

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toLocal8Bit());
    InitHtmlUiResources();
    InitEditorResources();
    TestEditor test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_editor.moc"
