#include "platform/folders.h"
#include "platform/identity.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

class TestIdentity final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void versionInfo_derivedTexts_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("shortVersion");
        QTest::newRow("four numbers")
            << QStringLiteral("1, 4, 6, 188") << QStringLiteral("1.4.6.188")
            << QStringLiteral("1.4.6") << QStringLiteral("188") << QStringLiteral("1.46");
        QTest::newRow("2.0.0.5") << QStringLiteral("2, 0, 0, 5") << QStringLiteral("2.0.0.5")
                                 << QStringLiteral("2.0.0") << QStringLiteral("5")
                                 << QStringLiteral("2.00");
        QTest::newRow("no separator")
            << QStringLiteral("17") << QStringLiteral("17") << QStringLiteral("17")
            << QStringLiteral("17") << QStringLiteral("17");
        QTest::newRow("two numbers")
            << QStringLiteral("3,1") << QStringLiteral("3.1") << QStringLiteral("3")
            << QStringLiteral("1") << QStringLiteral("3");
        QTest::newRow("empty") << QString() << QString() << QString() << QString() << QString();
    }
    void versionInfo_derivedTexts() {
        QFETCH(QString, product);
        const VersionInfo info(product);
        QTEST(info.GetVersionText(), "text");
        QTEST(info.GetVersion(), "version");
        QTEST(info.GetBuildNumber(), "build");
        QTEST(info.GetShortVersion(), "shortVersion");
    }

    void programIdentity_usesBuildSettings() {
        QCOMPARE(VersionInfo().GetVersionText(), QStringLiteral("1.0.0.1"));
        QCOMPARE(VersionInfo().GetShortVersion(), QStringLiteral("1.00"));
        QCOMPARE(ProductNameWithVersion(), QStringLiteral("Orvan 1.0.0.1"));
        QVERIFY(ProductHomeUrl().endsWith(QStringLiteral("/home_orvan.php")));
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} "
                                                  "[0-9]{2}:[0-9]{2}:[0-9]{2}$"))
                    .match(BuildDateText())
                    .hasMatch());
        QCOMPARE(IsUserAdministrator(), geteuid() == 0);
    }

    void userDataFolder_followsXdgDataHome() {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        QCOMPARE(UserDataFolder(), dir.path());
        // A relative value is not a valid setting and is ignored.
        qputenv("XDG_DATA_HOME", "relative/path");
        QCOMPARE(UserDataFolder(), QDir::homePath() + QStringLiteral("/.local/share"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(UserDataFolder(), QDir::homePath() + QStringLiteral("/.local/share"));
        const QString nested = dir.filePath(QStringLiteral("a/b"));
        QVERIFY(EnsureFolder(nested));
        QVERIFY(QFileInfo(nested).isDir());
        qputenv("XDG_DATA_HOME", saved);
    }
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "test_identity.moc"
