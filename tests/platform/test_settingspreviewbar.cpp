#include "platform/previewbarvisible.h"
#include "platform/settingsfile.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPreviewBar final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }

    void init() {
        QFile::remove(SettingsIniPath());
        PreviewBarVisible::Reload();
    }

    void get_noSettingsFile_isShown() {
        QCOMPARE(PreviewBarVisible::Get(), 1);
        QVERIFY(!QFile::exists(SettingsIniPath()));
    }

    void hide_persistsZeroForNextRun() {
        QCOMPARE(PreviewBarVisible::Get(), 1);
        QVERIFY(PreviewBarVisible::SetAndStore(0));
        QCOMPARE(ReadProfileNumber(SettingsIniPath(), u"Settings"_s, u"PreviewBar"_s, 9), 0);
        PreviewBarVisible::Reload();
        QCOMPARE(PreviewBarVisible::Get(), 0);
        QVERIFY(PreviewBarVisible::SetAndStore(1));
        PreviewBarVisible::Reload();
        QCOMPARE(PreviewBarVisible::Get(), 1);
    }

    void get_loadsOnlyOnce() {
        QCOMPARE(PreviewBarVisible::Get(), 1);
        QVERIFY(WriteProfileNumber(SettingsIniPath(), u"Settings"_s, u"PreviewBar"_s, 0));
        QCOMPARE(PreviewBarVisible::Get(), 1);
    }

    void get_valueNotANumber_isHidden() {
        QVERIFY(WriteProfileText(SettingsIniPath(), u"Settings"_s, u"PreviewBar"_s, u"yes"_s));
        QCOMPARE(PreviewBarVisible::Get(), 0);
    }

    void store_unwritableFolder_keepsValueInMemory() {
        const QString blocker = m_dir.filePath(u"blocker"_s);
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
        QVERIFY(!PreviewBarVisible::SetAndStore(0));
        QCOMPARE(PreviewBarVisible::Get(), 0);
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestPreviewBar)
#include "test_settingspreviewbar.moc"
