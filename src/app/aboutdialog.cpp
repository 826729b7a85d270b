#include "app/aboutdialog.h"

#include "platform/identity.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CAboutDlg::CAboutDlg(QWidget* parent) : CAnimatedDialog(parent) {
    setObjectName(u"aboutDialog"_s);
    setWindowTitle(u"About Orvan"_s);
    setModal(true);
    // Every control sits on the window colour, like a sheet of paper.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(u":/app/orvan-64.png"_s));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_versionLine = new QLabel(VersionLine(VersionInfo().GetProductVersion()), this);
    m_versionLine->setObjectName(u"versionLine"_s);
    QFont big = m_versionLine->font();
    big.setPointSizeF(big.pointSizeF() * 1.35);
    big.setBold(true);
    m_versionLine->setFont(big);

    auto* smallPrint = new QLabel(
        u"An editor for RSS 2.0 feeds.\nCopyright \u00A9 2026 The Orvan developers."_s, this);
    smallPrint->setForegroundRole(QPalette::PlaceholderText);

    m_releaseLine = new QLabel(u"Released: "_s + BuildDateText(), this);
    m_releaseLine->setObjectName(u"releaseLine"_s);
    m_releaseLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(m_versionLine);
    text->addWidget(smallPrint);
    text->addSpacing(6);
    text->addWidget(m_releaseLine);
    text->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon);
    top->addLayout(text, 1);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 20, 20, 14);
    root->addLayout(top);
    root->addSpacing(10);
    root->addWidget(buttons);

    setMinimumWidth(420);
    adjustSize();
    if (parent) {
        // Centred on the owner, as the first thing the dialog does.
        const QRect owner = parent->window()->frameGeometry();
        move(owner.center() - rect().center());
    }
}

QString CAboutDlg::VersionLine(const QString& productVersion) {
    const VersionInfo info(productVersion);
    QString line = u"Orvan"_s;
    if (!info.GetVersionText().isEmpty()) {
        line += u" Version "_s + info.GetVersion() + u" build "_s + info.GetBuildNumber();
    }
    return line;
}

QString CAboutDlg::versionLineText() const {
    return m_versionLine->text();
}

QString CAboutDlg::releaseLineText() const {
    return m_releaseLine->text();
}
