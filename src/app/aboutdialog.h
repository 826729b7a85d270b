// The about box: product name, version and build, and the build date.
#pragma once

#include "htmlui/animateddialog.h"

class QLabel;

class CAboutDlg final : public CAnimatedDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // "Orvan Version 1.0.0 build 1", or the bare product name without a version.
    static QString VersionLine(const QString& productVersion);
    QString versionLineText() const;
    QString releaseLineText() const;

private:
    QLabel* m_versionLine = nullptr;
    QLabel* m_releaseLine = nullptr;
};
