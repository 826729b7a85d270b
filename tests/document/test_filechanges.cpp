// The document and the file on disk: a backup that fails, a file another
// program changed, and a file that changes while it is open.
#include "documenttesthelpers.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TitleOnDisk(const QString& path, int post) {
    CRssFeed feed;
    return feed.LoadFile(path) ? feed.GetTitle(post) : u"<not loaded>"_s;
}

} // namespace

class TestFileChanges final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString MakeFeed(int posts) {
        const QString path = m_dir.filePath(u"f%1-feed.xml"_s.arg(++m_files));
        WriteFile(path, FeedXml(NumberedTitles(posts)));
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(u"data"_s).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8());
    }

    // The user decides whether to save without a backup.
    void save_backupFails_asksBeforeSavingWithoutOne_data() {
        QTest::addColumn<bool>("answerYes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void save_backupFails_asksBeforeSavingWithoutOne() {
        QFETCH(bool, answerYes);
        RecordingUi ui;
        ui.answerYes = answerYes;
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeed(2);
        QVERIFY(doc.OpenDocumentFile(path));
        QVERIFY(doc.GetFeed().SetTitle(0, u"Edited"_s));
        doc.SetModifiedFlag(true);
        const QByteArray before = ReadFile(path);
        // Room for neither the backup nor the feed: only the question decides.
        qputenv("ORVAN_TEST_DISK_FULL_AFTER", QByteArray::number(before.size() - 1));
        const bool saved = doc.DoSave(path);
        qunsetenv("ORVAN_TEST_DISK_FULL_AFTER");

        QCOMPARE(ui.questions.size(), 1);
        QVERIFY2(ui.questions.first().startsWith(u"The backup could not be written: "_s) &&
                     ui.questions.first().contains(u"No space left on device"_s) &&
                     ui.questions.first().endsWith(u". Save without a backup?"_s),
                 qPrintable(ui.questions.first()));
        QVERIFY(!saved);
        QVERIFY(doc.IsModified());
        QCOMPARE(ReadFile(path), before);
        QCOMPARE(doc.LastSaveCancelled(), !answerYes);
        if (answerYes) {
            QVERIFY(doc.GetLastError().contains(u"No space left on device"_s));
            QVERIFY(doc.DoSave(path));
            QCOMPARE(TitleOnDisk(path, 0), u"Edited"_s);
        }
    }

    // A file another program changed is not overwritten unasked.
    void save_fileChangedElsewhere_asks_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("titleOnDisk");
        QTest::addColumn<QString>("titleInDocument");
        QTest::newRow("overwrite")
            << int(UiServices::ChangedFileChoice::Overwrite) << u"Mine"_s << u"Mine"_s;
        QTest::newRow("reload") << int(UiServices::ChangedFileChoice::Reload) << u"Theirs"_s
                                << u"Theirs"_s;
        QTest::newRow("cancel") << int(UiServices::ChangedFileChoice::Cancel) << u"Theirs"_s
                                << u"Mine"_s;
    }
    void save_fileChangedElsewhere_asks() {
        QFETCH(int, choice);
        QFETCH(QString, titleOnDisk);
        QFETCH(QString, titleInDocument);
        RecordingUi ui;
        ui.changedFileChoice = UiServices::ChangedFileChoice(choice);
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeed(2);
        QVERIFY(doc.OpenDocumentFile(path));
        QVERIFY(doc.GetFeed().SetTitle(0, u"Mine"_s));
        doc.SetModifiedFlag(true);
        QVERIFY(WriteFile(path, FeedXml({u"Theirs"_s, u"Post 1"_s})));

        const bool saved = doc.DoSave(path);

        QCOMPARE(ui.questions,
                 QStringList{QFileInfo(path).fileName() +
                             u" was changed by another program. Overwrite it, or reload it and "
                             u"lose your changes?"_s});
        QCOMPARE(saved, choice == int(UiServices::ChangedFileChoice::Overwrite));
        QCOMPARE(TitleOnDisk(path, 0), titleOnDisk);
        QCOMPARE(doc.GetFeed().GetTitle(0), titleInDocument);
        QCOMPARE(doc.LastSaveCancelled(), !saved);
        QVERIFY(ui.errors.isEmpty());
    }

    // The same bytes written again, or the file only touched, is no change.
    void save_sameBytesRewritten_asksNothing() {
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeed(2);
        QVERIFY(doc.OpenDocumentFile(path));
        const QByteArray bytes = ReadFile(path);
        QVERIFY(QFile::remove(path));
        QVERIFY(WriteFile(path, bytes));
        QVERIFY(doc.GetFeed().SetTitle(1, u"Mine"_s));
        QVERIFY(doc.DoSave(path));
        QVERIFY(ui.questions.isEmpty());
        // After its own save the document knows the file again.
        QVERIFY(doc.GetFeed().SetTitle(1, u"Again"_s));
        QVERIFY(doc.DoSave(path));
        QVERIFY(ui.questions.isEmpty());
        QCOMPARE(TitleOnDisk(path, 1), u"Again"_s);
    }

    // An open feed follows its file: reloaded when nothing is unsaved, left
    // as it is (and the user told) when something is.
    void fileChangedWhileOpen_reloadsUnlessModified_data() {
        QTest::addColumn<bool>("modified");
        QTest::newRow("nothing unsaved") << false;
        QTest::newRow("unsaved changes") << true;
    }
    void fileChangedWhileOpen_reloadsUnlessModified() {
        QFETCH(bool, modified);
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeed(2);
        QVERIFY(doc.OpenDocumentFile(path));
        if (modified) {
            QVERIFY(doc.GetFeed().SetTitle(1, u"Mine"_s));
            doc.SetModifiedFlag(true);
        }
        // Another program saves the way editors do: a new file renamed over it.
        const QString other = path + u".new"_s;
        QVERIFY(WriteFile(other, FeedXml({u"Theirs"_s, u"Post 1"_s, u"Post 2"_s})));
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));

        const QString name = QFileInfo(path).fileName();
        const QString note =
            modified ? name + u" was changed by another program."_s
                     : name + u" was changed by another program and has been reloaded."_s;
        QTRY_COMPARE(ui.statusMessages, QStringList{note});
        QCOMPARE(doc.GetPostCount(), modified ? 2 : 3);
        QCOMPARE(doc.IsModified(), modified);
        // A second change is followed as well: the watch survived the rename.
        if (!modified) {
            QVERIFY(WriteFile(path, FeedXml({u"Later"_s})));
            QTRY_COMPARE(doc.GetPostCount(), 1);
        }
    }

    // The whole way: the feed is open, orvanctl changes the file.
    void orvanctlChangesOpenFeed_feedReloads() {
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeed(2);
        QVERIFY(doc.OpenDocumentFile(path));
        QProcess process;
        process.start(QStringLiteral(ORVANCTL_PATH),
                      {u"set"_s, path, u"1"_s, u"title"_s, u"Scripted"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QTRY_COMPARE(doc.GetFeed().GetTitle(1), u"Scripted"_s);
        QVERIFY(!doc.IsModified());
        // The document's own save afterwards asks nothing: the file is known.
        QVERIFY(doc.GetFeed().SetTitle(0, u"Mine"_s));
        QVERIFY(doc.DoSave(path));
        QVERIFY(ui.questions.isEmpty());
        QCOMPARE(TitleOnDisk(path, 1), u"Scripted"_s);
    }
};

QTEST_GUILESS_MAIN(TestFileChanges)
#include "test_filechanges.moc"
