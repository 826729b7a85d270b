// The window that follows one upload: what is sent, how much of it, how
// fast, and a Cancel button. It never takes the focus from the editor when it
// appears, so keys typed at that moment still go into the feed.
#pragma once

#include "publish/publishhooks.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class PublishProgressDialog final : public QDialog {
    Q_OBJECT
public:
    PublishProgressDialog(const QString& feedName, const QString& destination,
                          QWidget* parent = nullptr);

    void setProgress(const PublishProgress& progress);
    // The upload was told to stop and is winding down.
    void setCancelling();
    QPushButton* cancelButton() const { return m_cancel; }

    // Closing the window or Escape cancel, as the button does.
    void reject() override;

signals:
    void cancelRequested();

private:
    QLabel* m_file = nullptr;
    QLabel* m_bytes = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelling = false;
};

// "1.5 MB" and the like.
QString ByteSizeText(qint64 bytes);
