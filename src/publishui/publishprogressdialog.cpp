#include "publishui/publishprogressdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// The bar counts in steps of this many: a file may be larger than an int counts.
constexpr int kBarSteps = 1000;
} // namespace

QString ByteSizeText(qint64 bytes) {
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

PublishProgressDialog::PublishProgressDialog(const QString& feedName, const QString& destination,
                                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"publishProgressDialog"_s);
    setWindowTitle(u"Publishing "_s + feedName);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setModal(false);

    auto* where = new QLabel(u"Publishing <b>%1</b> to<br>%2"_s.arg(feedName.toHtmlEscaped(),
                                                                    destination.toHtmlEscaped()),
                             this);
    where->setTextFormat(Qt::RichText);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_file = new QLabel(u"Connecting…"_s, this);
    m_file->setObjectName(u"file"_s);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 0);
    m_bar->setTextVisible(false);
    m_bytes = new QLabel(this);
    m_bytes->setObjectName(u"bytes"_s);

    auto* buttons = new QDialogButtonBox(this);
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_cancel->setObjectName(u"cancel"_s);
    // Shown without the focus: a key typed into the editor must never press it.
    m_cancel->setAutoDefault(false);
    m_cancel->setFocusPolicy(Qt::ClickFocus);
    connect(m_cancel, &QPushButton::clicked, this, &PublishProgressDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where);
    layout->addWidget(m_file);
    layout->addWidget(m_bar);
    layout->addWidget(m_bytes);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void PublishProgressDialog::setProgress(const PublishProgress& p) {
    if (m_cancelling)
        return;
    QString file = u"Sending "_s + p.fileName;
    if (p.fileCount > 1)
        file += u" (%1 of %2)"_s.arg(p.fileIndex + 1).arg(p.fileCount);
    // The last bytes leave long before the server has them all; then the copy
    // is read back and compared.
    if (p.total > 0 && p.sent >= p.total)
        file = u"All sent: waiting for the server, then checking its copy…"_s;
    m_file->setText(file);
    m_bar->setRange(0, kBarSteps);
    m_bar->setValue(p.total > 0 ? int(double(p.sent) / double(p.total) * kBarSteps) : 0);
    QString bytes = ByteSizeText(p.sent) + u" of "_s + ByteSizeText(p.total);
    if (p.bytesPerSecond > 0)
        bytes += u", "_s + ByteSizeText(qint64(p.bytesPerSecond)) + u"/s"_s;
    m_bytes->setText(bytes);
}

void PublishProgressDialog::setCancelling() {
    m_cancelling = true;
    m_file->setText(u"Cancelling… the server keeps its old copy."_s);
    m_bar->setRange(0, 0);
    m_cancel->setEnabled(false);
}

void PublishProgressDialog::reject() {
    // The window goes when the upload has stopped, not before.
    if (!m_cancelling)
        emit cancelRequested();
}
