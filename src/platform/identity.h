// The program's identity texts, all derived from the one product version
// string compiled into the program and from the build's date and time.
#pragma once

#include <QString>

// Texts derived from a product version string such as "1, 4, 6, 188".
class VersionInfo final {
public:
    // The program's own product version.
    VersionInfo();
    explicit VersionInfo(const QString& productVersion);

    QString GetProductVersion() const { return m_productVersion; }
    // "1.4.6.188": commas become dots, blanks removed.
    QString GetVersionText() const;
    // "1.4.6": the version text before its last dot.
    QString GetVersion() const;
    // "188": the version text after its last dot.
    QString GetBuildNumber() const;
    // "1.46": the version up to its first dot, later dots removed.
    QString GetShortVersion() const;

private:
    QString m_productVersion;
};

// "Orvan" and, when the version text is not empty, a blank and that text.
QString ProductNameWithVersion();
// "Apr  1 2022 10:43:48": the compiler's date and time of the build.
QString BuildDateText();
// True when running with effective user id 0.
bool IsUserAdministrator();
// The product's home page address.
QString ProductHomeUrl();
