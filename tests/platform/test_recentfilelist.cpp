#include "platform/recentfilelist.h"
#include "platform/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRecentFileList final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_ini;

    static QString Path(int n) { return u"/feeds/feed"_s + QString::number(n) + u".xml"_s; }

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

    void add_keepsMostRecentFirstAndCapsAtSixteen() {
        RecentFileList list(m_ini);
        for (int i = 1; i <= 20; ++i)
            list.Add(Path(i));
        QCOMPARE(list.Count(), RecentFileList::kMaxEntries);
        QCOMPARE(list.Entries().front(), Path(20));
        QCOMPARE(list.Entries().back(), Path(5));
    }

    void add_listedPath_movesToTop() {
        RecentFileList list(m_ini);
        list.Add(Path(1));
        list.Add(Path(2));
        list.Add(Path(3));
        list.Add(u"/feeds/x/../feed1.xml"_s);
        QCOMPARE(list.Entries(), (QStringList{Path(1), Path(3), Path(2)}));
    }

    void add_relativePath_isStoredAbsolute() {
        RecentFileList list(m_ini);
        list.Add(u"rel/feed.xml"_s);
        list.Add(QString());
        QCOMPARE(list.Entries(), QStringList{QDir::current().filePath(u"rel/feed.xml"_s)});
    }

    void remove_dropsOnlyThatEntry() {
        RecentFileList list(m_ini);
        list.Add(Path(1));
        list.Add(Path(2));
        list.Add(Path(3));
        QVERIFY(list.Remove(Path(2)));
        QVERIFY(!list.Remove(Path(9)));
        list.RemoveAt(5);
        QCOMPARE(list.Entries(), (QStringList{Path(3), Path(1)}));
        list.RemoveAt(0);
        QCOMPARE(list.Entries(), QStringList{Path(1)});
    }

    void saveAndLoad_roundTripAndShrink() {
        RecentFileList list(m_ini);
        for (int i = 1; i <= 16; ++i)
            list.Add(Path(i));
        list.Add(u"/odd/[name]=1;%20 ü.xml"_s);
        QVERIFY(list.Save());
        QString first;
        QVERIFY(ReadProfileText(m_ini, u"Recent File List"_s, u"File1"_s, first));
        QCOMPARE(first, u"/odd/[name]=1;%20 ü.xml"_s);

        RecentFileList other(m_ini);
        other.Load();
        QCOMPARE(other.Entries(), list.Entries());

        list.Clear();
        list.Add(Path(1));
        QVERIFY(list.Save());
        other.Load();
        QCOMPARE(other.Entries(), QStringList{Path(1)});
        QCOMPARE(ReadProfileSection(m_ini, u"Recent File List"_s).size(), 1);
    }

    void load_skipsGapsRepeatsAndForeignKeys() {
        QFile f(m_ini);
        QVERIFY(QDir().mkpath(QFileInfo(m_ini).absolutePath()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Recent File List]\nFile3=/c.xml\nfile1=/a.xml\nFile2=\nFile4=/a.xml\n"
                "File17=/q.xml\nFile05=/z.xml\nOther=/o.xml\n");
        f.close();
        RecentFileList list(m_ini);
        list.Add(Path(1));
        list.Load();
        QCOMPARE(list.Entries(), (QStringList{u"/a.xml"_s, u"/c.xml"_s}));
    }

    void addAndSave_twoInstances_keepEachOthersFiles() {
        RecentFileList first(m_ini);
        RecentFileList second(m_ini);
        QVERIFY(first.AddAndSave(Path(1)));
        QVERIFY(second.AddAndSave(Path(2)));
        QVERIFY(first.AddAndSave(Path(3)));
        QCOMPARE(first.Entries(), (QStringList{Path(3), Path(2), Path(1)}));
        QVERIFY(second.RemoveAndSave(Path(1)));
        QCOMPARE(second.Entries(), (QStringList{Path(3), Path(2)}));
        RecentFileList reader(m_ini);
        reader.Load();
        QCOMPARE(reader.Entries(), second.Entries());
    }

    void addAndSave_unwritableFile_stillListsInMemory() {
        const QString blocker = m_dir.filePath(u"blocker"_s);
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        RecentFileList list(blocker + u"/Orvan/Settings.ini"_s);
        QVERIFY(!list.AddAndSave(Path(1)));
        QCOMPARE(list.Entries(), QStringList{Path(1)});
        QVERIFY(!list.RemoveAndSave(Path(1)));
        QCOMPARE(list.Count(), 0);
    }

    void load_noFile_givesEmptyList() {
        RecentFileList list(m_ini);
        list.Add(Path(1));
        list.Load();
        QCOMPARE(list.Count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRecentFileList)
#include "test_recentfilelist.moc"
