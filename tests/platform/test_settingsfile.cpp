#include "platform/settingsfile.h"
#include "smalldisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

using Entries = QList<QPair<QString, QString>>;

namespace {

constexpr int kWritesPerWriter = 150;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Body of the helper process the concurrency test starts from this same executable.
int RunWriter(const QString& file, const QString& prefix) {
    for (int i = 0; i < kWritesPerWriter; ++i)
        if (!WriteProfileNumber(file, u"Load"_s, prefix + QString::number(i), i))
            return 1;
    return 0;
}

} // namespace

class TestSettingsFile final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_ini;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }

    void init() {
        m_ini = SettingsIniPath();
        QFile::remove(m_ini);
    }

    void settingsIniPath_followsXdgConfigHome() {
        QCOMPARE(SettingsIniPath(), m_dir.path() + u"/Orvan/Settings.ini"_s);
    }

    void read_missingFile_givesDefaultsAndCreatesNothing() {
        QString out = u"kept"_s;
        QVERIFY(!ReadProfileText(m_ini, u"Settings"_s, u"PreviewBar"_s, out));
        QCOMPARE(out, u"kept"_s);
        QCOMPARE(ReadProfileNumber(m_ini, u"Settings"_s, u"PreviewBar"_s, 7), 7);
        QVERIFY(ReadProfileSection(m_ini, u"Settings"_s).isEmpty());
        QVERIFY(!QFile::exists(m_ini));
    }

    void writeText_oddKeyAndValue_roundTrip_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("query") << u"http://a.example/p?x=1&y=2;z"_s << u"Title"_s;
        QTest::newRow("brackets") << u"[Other]"_s << u"v"_s;
        QTest::newRow("inner bracket") << u"http://[::1]:8080/a"_s << u"v"_s;
        QTest::newRow("comment start") << u";not a comment"_s << u"v"_s;
        QTest::newRow("percent escapes") << u"a%3Db%25c%5B%0A"_s << u"v"_s;
        QTest::newRow("lone percents") << u"100% % %%"_s << u"v"_s;
        QTest::newRow("literal %20 at ends") << u"%20mid%20"_s << u"v"_s;
        QTest::newRow("blank ends") << u"  two blanks  "_s << u"v"_s;
        QTest::newRow("tab ends") << u"\tx\t"_s << u"v"_s;
        QTest::newRow("single blank") << u" "_s << u"v"_s;
        QTest::newRow("percent then blank end") << u"%20 "_s << u"v"_s;
        QTest::newRow("inner spaces") << u"my key with spaces"_s << u"v"_s;
        QTest::newRow("unicode") << u"Ünïcödé 日本語 \U0001F600"_s << u"Grüße 😀"_s;
        QTest::newRow("line breaks in key") << u"a\nb\r\nc"_s << u"v"_s;
        QTest::newRow("value line breaks") << u"k"_s << u"one\ntwo\r\nthree\n"_s;
        QTest::newRow("value padded") << u"k"_s << u"  padded\t"_s;
        QTest::newRow("value quoted") << u"k"_s << u"\"quoted\""_s;
        QTest::newRow("value single quoted") << u"k"_s << u"'q'"_s;
        QTest::newRow("value lone quote") << u"k"_s << u"\""_s;
        QTest::newRow("value escapes") << u"k"_s << u"50%0A %25 %0D 100%"_s;
        QTest::newRow("value markup") << u"k"_s << u"=;[x] a=b"_s;
        QTest::newRow("value empty") << u"k"_s << QString();
    }

    void writeText_oddKeyAndValue_roundTrip() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QVERIFY(WriteProfileText(m_ini, u"WebSiteTitles"_s, u"before"_s, u"1"_s));
        QVERIFY(WriteProfileText(m_ini, u"WebSiteTitles"_s, key, value));
        QVERIFY(WriteProfileText(m_ini, u"WebSiteTitles"_s, u"after"_s, u"2"_s));
        QVERIFY(WriteProfileText(m_ini, u"Next"_s, u"n"_s, u"3"_s));

        const Entries expected{
            {u"before"_s, u"1"_s}, {key, value.isNull() ? u""_s : value}, {u"after"_s, u"2"_s}};
        QCOMPARE(ReadProfileSection(m_ini, u"WebSiteTitles"_s), expected);
        QCOMPARE(ReadProfileSection(m_ini, u"Next"_s), (Entries{{u"n"_s, u"3"_s}}));
        QString out;
        QCOMPARE(ReadProfileText(m_ini, u"WebSiteTitles"_s, key, out), !value.isEmpty());
        if (!value.isEmpty())
            QCOMPARE(out, value);
        // Writing it again finds the same key instead of adding a second one.
        QVERIFY(WriteProfileText(m_ini, u"WebSiteTitles"_s, key, u"again"_s));
        QCOMPARE(ReadProfileSection(m_ini, u"WebSiteTitles"_s).size(), 3);
    }

    void writeText_ordinaryUrl_staysReadableInFile() {
        const QString url = u"https://a.example/some%20page/%2F?q=%C3%A9&x=1"_s;
        QVERIFY(WriteProfileText(m_ini, u"WebSiteTitles"_s, url, u"T"_s));
        const QString text = QString::fromUtf8(ReadAll(m_ini));
        QVERIFY2(text.contains(u"https://a.example/some%20page/%2F?q%3D%C3%A9&x%3D1=T"_s),
                 qPrintable(text));
    }

    void lookup_ignoresCaseOfSectionAndKey() {
        QVERIFY(WriteProfileNumber(m_ini, u"Settings"_s, u"PreviewBar"_s, 0));
        QCOMPARE(ReadProfileNumber(m_ini, u"SETTINGS"_s, u"previewbar"_s, 1), 0);
        QVERIFY(WriteProfileText(m_ini, u"settings"_s, u"PREVIEWBAR"_s, u"1"_s));
        QCOMPARE(ReadProfileSection(m_ini, u"Settings"_s), (Entries{{u"PreviewBar"_s, u"1"_s}}));
        QCOMPARE(QString::fromUtf8(ReadAll(m_ini)).count(u"[Settings]"_s), 1);
    }

    void write_keepsCommentsUnknownSectionsAndLineEnds() {
        const QByteArray original = "\xEF\xBB\xBF; written by hand\r\n"
                                    "stray=before any section\r\n"
                                    "[Unknown]\r\n"
                                    "  keep = me  \r\n"
                                    "no equals sign here\r\n"
                                    "\r\n"
                                    "[Settings]\r\n"
                                    "; about the preview\r\n"
                                    "PreviewBar=1\r\n"
                                    "\r\n"
                                    "; trailing comment\r\n";
        QVERIFY(WriteAll(m_ini, original));
        QVERIFY(WriteProfileText(m_ini, u"Settings"_s, u"Added"_s, u"x"_s));
        QVERIFY(WriteProfileNumber(m_ini, u"Settings"_s, u"PreviewBar"_s, 0));

        const QByteArray expected = "\xEF\xBB\xBF; written by hand\r\n"
                                    "stray=before any section\r\n"
                                    "[Unknown]\r\n"
                                    "  keep = me  \r\n"
                                    "no equals sign here\r\n"
                                    "\r\n"
                                    "[Settings]\r\n"
                                    "; about the preview\r\n"
                                    "PreviewBar=0\r\n"
                                    "Added=x\r\n"
                                    "\r\n"
                                    "; trailing comment\r\n";
        QCOMPARE(ReadAll(m_ini), expected);
        QCOMPARE(ReadProfileSection(m_ini, u"unknown"_s), (Entries{{u"keep"_s, u"me"_s}}));
    }

    void write_latin1File_keepsItsCharacters() {
        QVERIFY(WriteAll(m_ini, "; caf\xE9\n[S]\nk=na\xEFve\n"));
        QVERIFY(WriteProfileText(m_ini, u"S"_s, u"j"_s, u"1"_s));
        QCOMPARE(ReadAll(m_ini), QByteArray("; caf\xC3\xA9\n[S]\nk=na\xC3\xAFve\nj=1\n"));
    }

    void write_duplicateKeysInFile_collapseToOne() {
        QVERIFY(WriteAll(m_ini, "[S]\nk=1\n[T]\nk=t\n[s]\nK=2\n"));
        QCOMPARE(ReadProfileSection(m_ini, u"S"_s), (Entries{{u"k"_s, u"1"_s}}));
        QVERIFY(WriteProfileText(m_ini, u"S"_s, u"k"_s, u"3"_s));
        QCOMPARE(ReadAll(m_ini), QByteArray("[S]\nk=3\n[T]\nk=t\n[s]\n"));
    }

    void readProfileText_lengthRule_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("ok");
        QTest::newRow("empty") << 0 << false;
        QTest::newRow("one") << 1 << true;
        QTest::newRow("260") << 260 << true;
        QTest::newRow("261") << 261 << false;
    }

    void readProfileText_lengthRule() {
        QFETCH(int, length);
        QFETCH(bool, ok);
        const QString value(length, u'x');
        QVERIFY(WriteProfileText(m_ini, u"S"_s, u"k"_s, value));
        QString out = u"untouched"_s;
        QCOMPARE(ReadProfileText(m_ini, u"S"_s, u"k"_s, out), ok);
        QCOMPARE(out, ok ? value : u"untouched"_s);
    }

    void readProfileNumber_windowsIntegerRead_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("expected");
        QTest::newRow("leading number") << QByteArray("k=12abc") << 12;
        QTest::newRow("not a number") << QByteArray("k=abc") << 0;
        QTest::newRow("negative") << QByteArray("k=-5") << -5;
        QTest::newRow("plus") << QByteArray("k=+7") << 7;
        QTest::newRow("blanks") << QByteArray("k =  42  ") << 42;
        QTest::newRow("sign only") << QByteArray("k=-") << 0;
        QTest::newRow("wraps like windows") << QByteArray("k=4294967295") << -1;
        QTest::newRow("empty value") << QByteArray("k=") << 99;
        QTest::newRow("missing key") << QByteArray("other=1") << 99;
    }

    void readProfileNumber_windowsIntegerRead() {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        QVERIFY(WriteAll(m_ini, "[S]\n" + line + "\n"));
        QCOMPARE(ReadProfileNumber(m_ini, u"S"_s, u"k"_s, 99), expected);
    }

    void write_folderCannotBeMade_returnsFalse() {
        const QString blocker = m_dir.filePath(u"plainfile"_s);
        QVERIFY(WriteAll(blocker, "x"));
        const QString ini = blocker + u"/Orvan/Settings.ini"_s;
        QVERIFY(!WriteProfileText(ini, u"S"_s, u"k"_s, u"v"_s));
        QVERIFY(!WriteProfileNumber(ini, u"S"_s, u"k"_s, 1));
        QCOMPARE(ReadProfileNumber(ini, u"S"_s, u"k"_s, 5), 5);
        QVERIFY(!WriteProfileText(QString(), u"S"_s, u"k"_s, u"v"_s));
    }

    void write_fullDisk_failsAndKeepsTheOldFile() {
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP("a small tmpfs needs root");
        const QString ini = disk.path() + u"/Orvan/Settings.ini"_s;
        QVERIFY(WriteProfileText(ini, u"S"_s, u"k"_s, u"old"_s));
        // Room for the lock file, none for the new text.
        disk.fillLeaving(1);
        QVERIFY(!WriteProfileText(ini, u"S"_s, u"k"_s, u"new"_s));
        QCOMPARE(ReadProfileSection(ini, u"S"_s), (Entries{{u"k"_s, u"old"_s}}));
        QCOMPARE(QDir(disk.path() + u"/Orvan"_s).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"Settings.ini"_s});
    }

    void deleteAndReplace_touchOnlyTheirSection() {
        QVERIFY(WriteProfileText(m_ini, u"A"_s, u"x"_s, u"1"_s));
        QVERIFY(WriteProfileText(m_ini, u"A"_s, u"y"_s, u"2"_s));
        QVERIFY(WriteProfileText(m_ini, u"B"_s, u"x"_s, u"3"_s));
        QVERIFY(DeleteProfileKey(m_ini, u"a"_s, u"X"_s));
        QCOMPARE(ReadProfileSection(m_ini, u"A"_s), (Entries{{u"y"_s, u"2"_s}}));
        const Entries fresh{{u"p"_s, u"q"_s}, {u"r=s"_s, u"t"_s}};
        QVERIFY(ReplaceProfileSection(m_ini, u"A"_s, fresh));
        QCOMPARE(ReadProfileSection(m_ini, u"A"_s), fresh);
        QVERIFY(ReplaceProfileSection(m_ini, u"C"_s, fresh));
        QCOMPARE(ReadProfileSection(m_ini, u"C"_s), fresh);
        QCOMPARE(ReadProfileSection(m_ini, u"B"_s), (Entries{{u"x"_s, u"3"_s}}));
    }

    void concurrentWriters_loseNoKey() {
        QList<QProcess*> writers;
        for (const QString& prefix : {u"procA-"_s, u"procB-"_s}) {
            auto* p = new QProcess(this);
            p->start(QCoreApplication::applicationFilePath(), {u"--writer"_s, m_ini, prefix});
            writers << p;
        }
        QThread* thread = QThread::create([this] { RunWriter(m_ini, u"thread-"_s); });
        thread->start();
        QCOMPARE(RunWriter(m_ini, u"main-"_s), 0);
        QVERIFY(thread->wait());
        delete thread;
        for (QProcess* p : writers) {
            QVERIFY(p->waitForFinished(-1));
            QCOMPARE(p->exitCode(), 0);
        }
        const Entries all = ReadProfileSection(m_ini, u"Load"_s);
        QCOMPARE(all.size(), 4 * kWritesPerWriter);
        for (const QString& prefix : {u"procA-"_s, u"procB-"_s, u"thread-"_s, u"main-"_s})
            for (int i = 0; i < kWritesPerWriter; i += 37)
                QCOMPARE(ReadProfileNumber(m_ini, u"Load"_s, prefix + QString::number(i), -1), i);
        QVERIFY(!QFile::exists(m_ini + u".lock"_s));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0)
        return RunWriter(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestSettingsFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settingsfile.moc"
