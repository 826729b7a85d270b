// Publishing from the main window: File > Publish and Publish Settings…, the
// upload after each save, and quitting once the uploads have ended.
#include "app/mainframe.h"

#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "document/rsseditdoc.h"
#include "platform/settingsfile.h"
#include "publish/feedsettings.h"
#include "publishui/feedpublishing.h"
#include "publishui/publishsettingsdialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
// How long an upload's outcome stays in the status bar.
constexpr int kPublishMessageMs = 20000;
} // namespace

void CMainFrame::createPublishing() {
    m_publishing = std::make_unique<FeedPublishing>(this, SettingsIniPath());
    connect(m_publishing.get(), &FeedPublishing::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text, kPublishMessageMs); });
    connect(m_publishing.get(), &FeedPublishing::publishFinished, this,
            [this](const QString&, const PublishResult& result) {
                // A failure is read before the program goes.
                if (!result.ok && result.failure != RemoteServer::Failure::Cancelled)
                    m_quitWhenPublished = false;
            });
    connect(m_publishing.get(), &FeedPublishing::idle, this, [this] {
        if (!m_quitWhenPublished)
            return;
        m_quitWhenPublished = false;
        // Not from inside the ending upload's signal.
        QTimer::singleShot(0, this, &QWidget::close);
    });
}

bool CMainFrame::editPublishSettings(CChildFrame* frame) {
    if (!frame)
        return false;
    const QPointer<CChildFrame> alive = frame;
    // The settings belong to the file: a new feed needs its name first.
    if (frame->document()->GetPathName().isEmpty()) {
        QScopedValueRollback saving(m_savingToPublish, true);
        if (!saveDocument(frame->document(), false) || !alive)
            return false;
    }
    PublishSettingsDialog dialog(frame->document()->GetPathName(), SettingsIniPath(), this);
    return dialog.exec() == QDialog::Accepted;
}

void CMainFrame::publishDocument(CChildFrame* frame) {
    if (!frame || frame->isReadOnly())
        return;
    const QPointer<CChildFrame> alive = frame;
    CRSSEditDoc* doc = frame->document();
    if (doc->GetPathName().isEmpty()) {
        QScopedValueRollback saving(m_savingToPublish, true);
        if (!saveDocument(doc, false) || !alive)
            return;
    }
    const QString path = doc->GetPathName();
    if (FeedPublishSettings::Load(SettingsIniPath(), path).destination.trimmed().isEmpty()) {
        if (!editPublishSettings(frame) || !alive)
            return;
    }
    // Keys typed a moment ago count: the editor hands them over first.
    doc->StorePendingEdits();
    if (!alive)
        return;
    // Through the document's own save: the editor's text stored, the backup made.
    if (doc->IsModified()) {
        QScopedValueRollback saving(m_savingToPublish, true);
        if (!saveDocument(doc, false) || !alive)
            return;
    } else if (doc->FileChangedOnDisk()) {
        // What would go out is not what the window shows.
        m_ui->ShowError(u"%1 was changed by another program since Orvan read it.\n\nReload "
                        "it, or save the feed over it, before publishing."_s.arg(
                            QDir::toNativeSeparators(path)));
        return;
    }
    if (m_publishing->publish(path) == FeedPublishing::Start::NoDestination) {
        QApplication::beep();
        statusBar()->showMessage(
            u"%1 has no destination to publish to."_s.arg(QFileInfo(path).fileName()),
            kPublishMessageMs);
    }
}
