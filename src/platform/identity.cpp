#include "identity.h"

#include <buildconfig.h>
#include <unistd.h>

VersionInfo::VersionInfo() : m_productVersion(QStringLiteral(ORVAN_PRODUCT_VERSION)) {}

VersionInfo::VersionInfo(const QString& productVersion) : m_productVersion(productVersion) {}

QString VersionInfo::GetVersionText() const {
    QString text = m_productVersion;
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    text.remove(QLatin1Char(' '));
    return text;
}

QString VersionInfo::GetVersion() const {
    const QString text = GetVersionText();
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? text : text.left(dot);
}

QString VersionInfo::GetBuildNumber() const {
    const QString text = GetVersionText();
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? text : text.mid(dot + 1);
}

QString VersionInfo::GetShortVersion() const {
    const QString version = GetVersion();
    const qsizetype dot = version.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return version;
    QString rest = version.mid(dot + 1);
    rest.remove(QLatin1Char('.'));
    return version.left(dot + 1) + rest;
}

QString ProductNameWithVersion() {
    const QString versionText = VersionInfo().GetVersionText();
    QString text = QStringLiteral("Orvan");
    if (!versionText.isEmpty())
        text += QLatin1Char(' ') + versionText;
    return text;
}

QString BuildDateText() {
    return QStringLiteral(__DATE__) + QLatin1Char(' ') + QStringLiteral(__TIME__);
}

bool IsUserAdministrator() {
    return geteuid() == 0;
}

QString ProductHomeUrl() {
    return QStringLiteral(ORVAN_URL_HOME);
}
