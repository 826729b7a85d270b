// Where and how one feed is published: its destination and the choices that
// go with it, kept with the feed's other settings. Nothing is written unless
// the user confirms with OK, and never a password.
#pragma once

#include "publish/feedsettings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

class PublishSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // Shows the settings of the feed at feedPath as settingsFile holds them.
    PublishSettingsDialog(const QString& feedPath, const QString& settingsFile,
                          QWidget* parent = nullptr);

    // What the fields hold now, user name folded into the destination.
    FeedPublishSettings settings() const;
    // Why OK was refused last, empty when it was not.
    QString errorText() const;

    // Checks the fields and stores them; on a mistake the dialog stays open
    // and says what is wrong.
    void accept() override;

private:
    // A user name typed into the destination moves to its own field.
    void takeUserFromDestination();
    void updateEnabled();
    bool check(FeedPublishSettings& s, QString& error) const;
    void showError(const QString& text, QWidget* field);
    QWidget* withBrowse(QLineEdit* edit, bool folder, const QString& caption);

    QString m_feedPath;
    QString m_settingsFile;
    QLineEdit* m_destination = nullptr;
    QLineEdit* m_user = nullptr;
    QCheckBox* m_requireTls = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QLineEdit* m_caFile = nullptr;
    QCheckBox* m_publishAfterSave = nullptr;
    QCheckBox* m_uploadEnclosures = nullptr;
    QLineEdit* m_mediaBaseUrl = nullptr;
    QLineEdit* m_mediaFolder = nullptr;
    QLineEdit* m_mediaDestination = nullptr;
    QLabel* m_error = nullptr;
};
