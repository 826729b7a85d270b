// The feed's Properties dialog and the post properties pane used as a person
// uses them: keys and clicks into the real widgets of the main window, the
// real Save, then the bytes of the file.
#include "propsuitest.h"

#include "../cli/testmedia.h"
#include "app/appresources.h"
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/feedpropertiesdialog.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "feed/feedoptions.h"
#include "feed/newfeedinfo.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"
#include "platform/settingsfile.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postsbarcommands.h"
#include "postsbar/postslistview.h"
#include "propsui/postpropertiespane.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <functional>
#include <pugixml.hpp>

using namespace Qt::StringLiterals;
using namespace propsuitest;

class TestPropertiesUi final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QuietShellUi> m_ui;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QTemporaryDir> m_dir;

    CChildFrame* open(const QString& path) {
        if (!m_frame->openDocumentFile(path))
            return nullptr;
        CChildFrame* frame = m_frame->activeChildFrame();
        if (!frame->view()->waitUntilLoaded())
            return nullptr;
        QTest::qWait(300);
        return frame;
    }

    // Runs the Properties command; work fills the modal dialog while it is open.
    bool runPropertiesDialog(const std::function<void(FeedPropertiesDialog*)>& work) {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<FeedPropertiesDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            work(dialog);
            // A check that failed midway must not leave the dialog waiting.
            if (dialog->isVisible()) {
                if (auto* error = dialog->findChild<QLabel*>(u"feedPropertiesError"_s))
                    qWarning() << "still open:" << error->text();
                dialog->reject();
            }
        });
        m_frame->commandAction(ID_FEED_PROPERTIES)->trigger();
        return seen;
    }

    void save() {
        m_frame->commandAction(ID_FILE_SAVE)->trigger();
        QVERIFY(!m_frame->activeChildFrame()->document()->IsModified());
    }

    PostPropertiesPane* unfoldedPane(CChildFrame* frame) {
        PostPropertiesPane* pane = frame->view()->propertiesPane();
        if (pane->isFolded())
            QTest::mouseClick(pane->findChild<QToolButton*>(u"postPropertiesToggle"_s),
                              Qt::LeftButton);
        return pane;
    }

    void selectPost(CChildFrame* frame, int row) {
        PostsListView* list = frame->postsBar()->ListView();
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(frame->document()->GetCurrentPost(), row);
        QTest::qWait(200);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ui = std::make_unique<QuietShellUi>();
        m_frame = std::make_unique<CMainFrame>(m_ui.get());
        m_ui->setParentWidget(m_frame.get());
        m_frame->resize(1300, 900);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }

    void cleanup() {
        for (CChildFrame* frame : m_frame->childFrames())
            frame->document()->SetModifiedFlag(false);
        m_frame.reset();
        m_ui.reset();
        m_dir.reset();
    }

    void dialog_everyTab_savesTheFieldsAndNothingElse() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        const bool seen = runPropertiesDialog([](FeedPropertiesDialog* d) {
            auto* tabs = d->findChild<QTabWidget*>(u"feedPropertiesTabs"_s);
            const auto line = [d](const char* name) {
                return d->findChild<QLineEdit*>(QString::fromLatin1(name));
            };
            TypeInto(d->findChild<QComboBox*>(u"language"_s)->lineEdit(), u"de-at"_s);
            TypeInto(line("copyright"), u"© 2026 Show & Co"_s);
            TypeInto(line("managingEditor"), u"ed@show.example (Ed)"_s);
            TypeInto(line("ttl"), u"60"_s);
            TypeInto(line("selfUrl"), u"https://podnews.net/rss"_s);
            auto* categories = d->findChild<QTableWidget*>(u"categories"_s);
            TypeInCell(categories, 0, 0, u"Tech"_s);
            TypeInCell(categories, 0, 1, u"dmoz"_s);
            ClickCheck(d->findChild<QWidget*>(u"writeGenerator"_s));

            ClickTab(tabs, 1);
            TypeInto(line("imageUrl"), u"https://show.example/logo.png"_s);
            TypeInto(line("imageWidth"), u"200"_s);
            TypeInto(line("imageHeight"), u"88"_s);
            // OK refuses a width past 144, shows why and stays open.
            auto* ok = d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            QTest::mouseClick(ok, Qt::LeftButton);
            QVERIFY(d->isVisible());
            auto* error = d->findChild<QLabel*>(u"feedPropertiesError"_s);
            QVERIFY2(error->text().contains(u"144"_s), qPrintable(error->text()));
            QCOMPARE(d->focusWidget(), line("imageWidth"));
            TypeInto(line("imageWidth"), u"120"_s);

            ClickTab(tabs, 2);
            TypeInto(line("itunesAuthor"), u"Ann"_s);
            TypeInto(line("itunesOwnerEmail"), u"ann@show.example"_s);
            ChooseByKeys(d->findChild<QComboBox*>(u"itunesCategory"_s), u"Technology"_s);
            ChooseByKeys(d->findChild<QComboBox*>(u"itunesCategory"_s), u"Arts"_s);
            ChooseByKeys(d->findChild<QComboBox*>(u"itunesSubcategory"_s), u"Books"_s);
            ChooseByKeys(d->findChild<QComboBox*>(u"itunesExplicit"_s), u"false"_s);
            ClickCheck(d->findChild<QWidget*>(u"itunesComplete"_s));
            QTest::mouseClick(d->findChild<QPushButton*>(u"computePodcastGuid"_s), Qt::LeftButton);
            TypeInto(line("podcastFundingUrl"), u"https://show.example/give"_s);
            TypeInto(line("podcastFundingText"), u"Support us"_s);
            TypeInto(line("mediaBaseUrl"), u"https://cdn.example/media"_s);
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        QVERIFY(seen);
        CRSSEditDoc* doc = frame->document();
        QVERIFY(doc->IsModified());
        QVERIFY(doc->GetFeedOptions().writeGenerator);
        QCOMPARE(doc->GetFeedOptions().mediaBaseUrl, u"https://cdn.example/media"_s);
        save();

        const QByteArray after = ReadBytes(path);
        QList<QByteArray> added;
        QVERIFY2(KeptInOrder(kFeed, after, &added), after.constData());
        // Each new element at its place: channel fields before the first post.
        const QByteArray generator =
            "        <generator>" + GeneratorText().toUtf8() + "</generator>";
        const QByteArray expected[] = {
            "        <language>de-at</language>",
            "        <copyright>© 2026 Show &amp; Co</copyright>",
            "        <managingEditor>ed@show.example (Ed)</managingEditor>",
            "        <category domain=\"dmoz\">Tech</category>",
            "        <ttl>60</ttl>",
            "        <atom:link rel=\"self\" href=\"https://podnews.net/rss\" "
            "type=\"application/rss+xml\" />",
            generator,
            "        <image>",
            "            <url>https://show.example/logo.png</url>",
            "            <width>120</width>",
            "            <height>88</height>",
            "        </image>",
            "        <itunes:author>Ann</itunes:author>",
            "        <itunes:owner>",
            "            <itunes:email>ann@show.example</itunes:email>",
            "        </itunes:owner>",
            "        <itunes:category text=\"Arts\">",
            "            <itunes:category text=\"Books\" />",
            "        </itunes:category>",
            "        <itunes:explicit>false</itunes:explicit>",
            "        <itunes:complete>Yes</itunes:complete>",
            "        <podcast:guid>9b024349-ccf0-5f69-a609-6b82873eab3c</podcast:guid>",
            "        <podcast:funding url=\"https://show.example/give\">Support "
            "us</podcast:funding>",
        };
        for (const QByteArray& line : expected)
            QVERIFY2(added.contains(line), (line + "\n---\n" + after).constData());
        QCOMPARE(added.size(), qsizetype(std::size(expected)));
        const qsizetype firstItem = after.indexOf("<item>");
        for (const QByteArray& line : expected)
            QVERIFY2(after.indexOf(line) < firstItem, line.constData());
        // Each namespace declared once, on the rss element.
        QCOMPARE(after.count("xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\""), 1);
        QCOMPARE(after.count("xmlns:podcast="), 1);
        QCOMPARE(after.count("xmlns:atom=\"http://www.w3.org/2005/Atom\""), 1);
        QVERIFY(after.split('\n').value(1).contains("xmlns:itunes="));
    }

    // A file with prefixes of its own and two funding links: the dialog edits
    // the first in place, writes its prefixes, and leaves the second alone.
    void dialog_ownPrefixesAndRepeatedElements_areKept() {
        const QByteArray feed =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<rss version=\"2.0\" xmlns:it=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" "
            "xmlns:pc=\"https://podcastindex.org/namespace/1.0\">\n"
            "    <channel>\n"
            "        <title>Show</title>\n"
            "        <link>https://show.example/</link>\n"
            "        <description>All about it</description>\n"
            "        <it:author>Old</it:author>\n"
            "        <pc:funding url=\"https://a.example/\">A</pc:funding>\n"
            "        <pc:funding url=\"https://b.example/\">B</pc:funding>\n"
            "        <category>One</category>\n"
            "        <category>Two</category>\n"
            "        <item>\n"
            "            <title>One</title>\n"
            "        </item>\n"
            "    </channel>\n"
            "</rss>\n";
        const QString path = m_dir->filePath(u"own.xml"_s);
        WriteBytes(path, feed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        QVERIFY(runPropertiesDialog([](FeedPropertiesDialog* d) {
            ClickTab(d->findChild<QTabWidget*>(u"feedPropertiesTabs"_s), 2);
            auto* author = d->findChild<QLineEdit*>(u"itunesAuthor"_s);
            QCOMPARE(author->text(), u"Old"_s);
            TypeInto(author, QString());
            TypeInto(d->findChild<QLineEdit*>(u"podcastFundingText"_s), u"Give"_s);
            TypeInto(d->findChild<QLineEdit*>(u"itunesOwnerName"_s), u"Ann"_s);
            ClickTab(d->findChild<QTabWidget*>(u"feedPropertiesTabs"_s), 0);
            // The first category emptied: it goes, the second stays.
            auto* categories = d->findChild<QTableWidget*>(u"categories"_s);
            TypeInCell(categories, 0, 0, QString());
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        }));
        save();
        const QByteArray after = ReadBytes(path);
        QByteArray expected = feed;
        expected.replace("        <it:author>Old</it:author>\n", "");
        expected.replace(">A</pc:funding>", ">Give</pc:funding>");
        expected.replace("        <category>One</category>\n", "");
        expected.replace("        <item>", "        <it:owner>\n"
                                           "            <it:name>Ann</it:name>\n"
                                           "        </it:owner>\n"
                                           "        <item>");
        QCOMPARE(after, expected);
    }

    void dialog_cancel_changesNothing() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        const bool seen = runPropertiesDialog([](FeedPropertiesDialog* d) {
            TypeInto(d->findChild<QLineEdit*>(u"title"_s), u"Another"_s);
            ClickCheck(d->findChild<QWidget*>(u"renewPostDate"_s));
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                              Qt::LeftButton);
        });
        QVERIFY(seen);
        QVERIFY(!frame->document()->IsModified());
        QVERIFY(frame->document()->GetFeedOptions().renewPubDateOnEdit);
        // OK without a change leaves the feed unmodified as well.
        QVERIFY(runPropertiesDialog([](FeedPropertiesDialog* d) {
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        }));
        QVERIFY(!frame->document()->IsModified());
        QCOMPARE(ReadBytes(path), kFeed);
    }

    // Typed in one post, the pane's fields land there even when the user goes
    // to another post before leaving the field; the dates stay as they were.
    void pane_editsLandInTheirPost_andKeepTheDate() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        PostPropertiesPane* pane = unfoldedPane(frame);
        QVERIFY(!pane->isFolded());
        selectPost(frame, 0);
        TypeInto(pane->findChild<QLineEdit*>(u"itunesEpisode"_s), u"7"_s);
        ChooseByKeys(pane->findChild<QComboBox*>(u"itunesEpisodeType"_s), u"trailer"_s);
        TypeInto(pane->findChild<QLineEdit*>(u"postComments"_s), u"https://show.example/1#c"_s);
        // A guid without the attribute is a permalink: the box shows it checked.
        QVERIFY(pane->findChild<QCheckBox*>(u"postPermaLink"_s)->isChecked());
        // Still in the comments field: the click on the list changes the post.
        selectPost(frame, 1);
        QCOMPARE(pane->findChild<QLineEdit*>(u"postComments"_s)->text(), QString());
        TypeInto(pane->findChild<QLineEdit*>(u"postGuid"_s), u"two"_s);
        ClickCheck(pane->findChild<QWidget*>(u"postPermaLink"_s));
        TypeInto(pane->findChild<QLineEdit*>(u"postSourceUrl"_s), u"https://other.example/rss"_s);
        TypeInto(pane->findChild<QLineEdit*>(u"postSourceTitle"_s), u"Other"_s);
        QVERIFY(frame->document()->IsModified());
        save();

        const QByteArray after = ReadBytes(path);
        QList<QByteArray> added;
        QVERIFY2(KeptInOrder(kFeed, after, &added), after.constData());
        const QList<QByteArray> expected = {
            "            <itunes:episode>7</itunes:episode>",
            "            <itunes:episodeType>trailer</itunes:episodeType>",
            "            <comments>https://show.example/1#c</comments>",
            "            <guid isPermaLink=\"false\">two</guid>",
            "            <source url=\"https://other.example/rss\">Other</source>",
        };
        QCOMPARE(added, expected);
        // The first three in the first post, the others in the second.
        const qsizetype second = after.indexOf("<item>", after.indexOf("<item>") + 1);
        QVERIFY(after.indexOf(expected[2]) < second);
        QVERIFY(after.indexOf(expected[3]) > second);
        QCOMPARE(after.count("xmlns:itunes="), 1);
    }

    // The podcaster's case: with "Renew a post's date when it is edited" off,
    // a title typed in the editor leaves the episode's date as it was; the
    // option is kept for the next time the feed is opened.
    void renewOff_titleTyped_keepsTheDate() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        QVERIFY(runPropertiesDialog([](FeedPropertiesDialog* d) {
            ClickCheck(d->findChild<QWidget*>(u"renewPostDate"_s));
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        }));
        QVERIFY(!frame->document()->GetFeedOptions().renewPubDateOnEdit);
        QVERIFY(!FeedOptions::Load(SettingsIniPath(), path).renewPubDateOnEdit);

        QWidget* page = frame->view()->surface()->view()->focusProxy();
        QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(page->width() / 2, 20));
        QTest::keyClick(page, Qt::Key_End);
        QTest::keyClicks(page, u" more"_s);
        QTRY_VERIFY(frame->document()->IsModified());
        save();
        const QByteArray after = ReadBytes(path);
        QVERIFY2(after.contains("<title>One more</title>"), after.constData());
        QVERIFY2(after.contains("<pubDate>05 Dec 2026 10:45:34 GMT</pubDate>"), after.constData());
    }

    // A field still being typed in when the window closes is asked about and saved.
    void pane_pendingEdit_isSavedOnClose() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        PostPropertiesPane* pane = unfoldedPane(frame);
        TypeInto(pane->findChild<QLineEdit*>(u"itunesTitle"_s), u"Pilot"_s);
        QVERIFY(!frame->document()->IsModified());
        m_frame->commandAction(ID_FILE_CLOSE)->trigger();
        QCOMPARE(m_ui->questions, 1);
        QTRY_VERIFY(m_frame->childFrames().isEmpty());
        QVERIFY2(ReadBytes(path).contains("            <itunes:title>Pilot</itunes:title>\n"
                                          "        </item>"),
                 ReadBytes(path).constData());
    }

    void pane_date_isWrittenInTheFeedsForm() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        PostPropertiesPane* pane = unfoldedPane(frame);
        auto* date = pane->findChild<QDateTimeEdit*>(u"postDate"_s);
        // The click lands in the field's text, as a user's does.
        QTest::mouseClick(date->findChild<QLineEdit*>(), Qt::LeftButton);
        date->setFocus(Qt::MouseFocusReason);
        date->setCurrentSection(QDateTimeEdit::YearSection);
        QTest::keyClick(date, Qt::Key_Up);
        QTest::keyClick(date, Qt::Key_Return);
        // The list shows the new date at once.
        QAbstractItemModel* list = frame->postsBar()->ListView()->model();
        QTRY_VERIFY2(list->index(0, 1).data().toString().contains(u"2027"_s),
                     qPrintable(list->index(0, 1).data().toString()));
        save();
        const QByteArray after = ReadBytes(path);
        QVERIFY2(after.contains("            <pubDate>05 Dec 2027 10:45:34 GMT</pubDate>\n"),
                 after.constData());
        QCOMPARE(after.size(), kFeed.size());
    }

    void pane_enclosureFromLocalFileAndServer() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        const QString media = m_dir->filePath(u"ep 1.mp3"_s);
        const QByteArray mp3 = testmedia::SilentMp3(192);
        WriteBytes(media, mp3);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        FeedOptions options = frame->document()->GetFeedOptions();
        options.mediaBaseUrl = u"https://cdn.example/media/"_s;
        QVERIFY(frame->document()->SetFeedOptions(options));
        PostPropertiesPane* pane = unfoldedPane(frame);

        // The file dialog is answered as a user does: the path typed, Return.
        QTimer::singleShot(200, this, [media] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QLineEdit* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
            QVERIFY(name);
            QTest::keyClicks(name, media);
            QTest::keyClick(name, Qt::Key_Return);
        });
        QSignalSpy probed(pane, &PostPropertiesPane::mediaProbeFinished);
        QTest::mouseClick(pane->findChild<QPushButton*>(u"chooseMediaFile"_s), Qt::LeftButton);
        QTRY_COMPARE(probed.size(), 1);
        QVERIFY(probed.first().first().toBool());

        selectPost(frame, 1);
        MediaServer server;
        TypeInto(pane->findChild<QLineEdit*>(u"enclosureUrl"_s), server.url(u"/two.m4a"_s));
        QTest::mouseClick(pane->findChild<QPushButton*>(u"fetchEnclosure"_s), Qt::LeftButton);
        QTRY_COMPARE(probed.size(), 2);
        QVERIFY(probed.last().first().toBool());
        QCOMPARE(server.methods, QStringList{u"HEAD"_s});
        save();

        pugi::xml_document xml;
        QVERIFY(xml.load_file(QFile::encodeName(path).constData()));
        const pugi::xml_node one = xml.child("rss").child("channel").child("item");
        QCOMPARE(QString::fromUtf8(one.child("enclosure").attribute("url").value()),
                 u"https://cdn.example/media/ep%201.mp3"_s);
        QCOMPARE(one.child("enclosure").attribute("length").as_llong(), qint64(mp3.size()));
        QCOMPARE(QString::fromUtf8(one.child("enclosure").attribute("type").value()),
                 u"audio/mpeg"_s);
        QCOMPARE(QString::fromUtf8(one.child("itunes:duration").child_value()), u"5"_s);
        const pugi::xml_node two = one.next_sibling("item");
        QCOMPARE(QString::fromUtf8(two.child("enclosure").attribute("url").value()),
                 server.url(u"/two.m4a"_s));
        QCOMPARE(two.child("enclosure").attribute("length").as_llong(), 54321);
        QCOMPARE(QString::fromUtf8(two.child("enclosure").attribute("type").value()),
                 u"audio/x-m4a"_s);
        // The dates stay: the enclosure is not an edit of the post's text.
        QCOMPARE(QString::fromUtf8(one.child("pubDate").child_value()),
                 u"05 Dec 2026 10:45:34 GMT"_s);
    }

    void pane_foldedState_isRemembered() {
        const QString path = m_dir->filePath(u"feed.xml"_s);
        WriteBytes(path, kFeed);
        CChildFrame* frame = open(path);
        QVERIFY(frame);
        PostPropertiesPane* pane = frame->view()->propertiesPane();
        const bool wasFolded = pane->isFolded();
        QTest::mouseClick(pane->findChild<QToolButton*>(u"postPropertiesToggle"_s), Qt::LeftButton);
        QCOMPARE(pane->isFolded(), !wasFolded);
        PostPropertiesPane another(frame->document(), nullptr);
        QCOMPARE(another.isFolded(), !wasFolded);
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();
    TestPropertiesUi test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_propertiesui.moc"
