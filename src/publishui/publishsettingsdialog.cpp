#include "publishui/publishsettingsdialog.h"

#include "publish/publishdestination.h"
#include "publishui/feedpublishing.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel* Note(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QString SchemeOf(const QString& text) {
    return QUrl(text.trimmed(), QUrl::TolerantMode).scheme().toLower();
}

// "~/" is the home folder; other relative paths start from base.
QString AbsolutePath(const QString& path, const QString& base) {
    if (path.isEmpty())
        return path;
    if (path == u"~"_s || path.startsWith(u"~/"_s))
        return QDir::cleanPath(QDir::homePath() + path.mid(1));
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

} // namespace

PublishSettingsDialog::PublishSettingsDialog(const QString& feedPath, const QString& settingsFile,
                                             QWidget* parent)
    : QDialog(parent), m_feedPath(feedPath), m_settingsFile(settingsFile) {
    setObjectName(u"publishSettingsDialog"_s);
    setWindowTitle(u"Publish Settings - "_s + QFileInfo(feedPath).fileName());

    m_destination = new QLineEdit(this);
    m_destination->setObjectName(u"destination"_s);
    m_destination->setPlaceholderText(u"sftp://example.com/var/www/feed.xml"_s);
    m_destination->setMinimumWidth(420);
    m_user = new QLineEdit(this);
    m_user->setObjectName(u"user"_s);
    m_user->setPlaceholderText(u"as in the address; for SFTP your own by default"_s);
    m_requireTls =
        new QCheckBox(u"Require &TLS (FTP: log in only over an encrypted connection)"_s, this);
    m_requireTls->setObjectName(u"requireTls"_s);
    m_keyFile = new QLineEdit(this);
    m_keyFile->setObjectName(u"keyFile"_s);
    m_keyFile->setPlaceholderText(u"~/.ssh/id_ed25519 or id_rsa, and the SSH agent"_s);
    m_caFile = new QLineEdit(this);
    m_caFile->setObjectName(u"caFile"_s);
    m_caFile->setPlaceholderText(u"the system's certificates"_s);
    m_publishAfterSave = new QCheckBox(u"&Publish after each save"_s, this);
    m_publishAfterSave->setObjectName(u"publishAfterSave"_s);
    m_uploadEnclosures = new QCheckBox(u"Also upload local e&nclosure files"_s, this);
    m_uploadEnclosures->setObjectName(u"uploadEnclosures"_s);
    m_mediaBaseUrl = new QLineEdit(this);
    m_mediaBaseUrl->setObjectName(u"mediaBaseUrl"_s);
    m_mediaBaseUrl->setPlaceholderText(u"https://example.com/media/"_s);
    m_mediaFolder = new QLineEdit(this);
    m_mediaFolder->setObjectName(u"mediaFolder"_s);
    m_mediaFolder->setPlaceholderText(u"the feed's folder"_s);
    m_mediaDestination = new QLineEdit(this);
    m_mediaDestination->setObjectName(u"mediaDestination"_s);
    m_mediaDestination->setPlaceholderText(u"the feed's remote folder"_s);

    auto* where = new QGroupBox(u"Destination"_s, this);
    auto* whereForm = new QFormLayout(where);
    whereForm->addRow(u"&Address:"_s, m_destination);
    whereForm->addRow(QString(),
                      Note(u"sftp://, ftp://, ftps://, https:// (WebDAV) or file:///folder/. "
                           "An address ending in / takes the feed's file name."_s));
    whereForm->addRow(u"&User:"_s, m_user);
    whereForm->addRow(QString(), m_requireTls);
    whereForm->addRow(u"SSH &key file:"_s,
                      withBrowse(m_keyFile, false, u"Choose the SSH Private Key"_s));
    whereForm->addRow(u"C&A certificates:"_s,
                      withBrowse(m_caFile, false, u"Choose the Server's Certificates (PEM)"_s));
    whereForm->addRow(QString(), Note(u"Passwords are asked when the server wants one and "
                                      "are never written to the settings."_s));

    auto* media = new QGroupBox(u"Media"_s, this);
    auto* mediaForm = new QFormLayout(media);
    mediaForm->addRow(u"Media &web address:"_s, m_mediaBaseUrl);
    mediaForm->addRow(QString(), m_uploadEnclosures);
    mediaForm->addRow(u"Media &folder here:"_s,
                      withBrowse(m_mediaFolder, true, u"Choose the Media Folder"_s));
    mediaForm->addRow(u"Media destinat&ion:"_s, m_mediaDestination);
    mediaForm->addRow(QString(), Note(u"Enclosures under the media web address are uploaded "
                                      "when their file here is new or changed."_s));

    m_error = new QLabel(this);
    m_error->setObjectName(u"error"_s);
    m_error->setWordWrap(true);
    QPalette red = m_error->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0x10, 0x10));
    m_error->setPalette(red);
    m_error->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where);
    layout->addWidget(m_publishAfterSave);
    layout->addWidget(media);
    layout->addWidget(m_error);
    layout->addWidget(buttons);

    FeedPublishSettings s = FeedPublishSettings::Load(settingsFile, feedPath);
    m_destination->setText(s.destination);
    takeUserFromDestination();
    m_requireTls->setChecked(s.requireTls);
    m_keyFile->setText(s.keyFile);
    m_caFile->setText(s.caFile);
    m_publishAfterSave->setChecked(s.publishAfterSave);
    m_uploadEnclosures->setChecked(s.uploadEnclosures);
    m_mediaBaseUrl->setText(s.mediaBaseUrl);
    m_mediaFolder->setText(s.mediaFolder);
    m_mediaDestination->setText(s.mediaDestination);

    connect(m_destination, &QLineEdit::editingFinished, this,
            &PublishSettingsDialog::takeUserFromDestination);
    connect(m_destination, &QLineEdit::textChanged, this, &PublishSettingsDialog::updateEnabled);
    connect(m_uploadEnclosures, &QCheckBox::toggled, this, &PublishSettingsDialog::updateEnabled);
    updateEnabled();
    m_destination->setFocus();
}

QWidget* PublishSettingsDialog::withBrowse(QLineEdit* edit, bool folder, const QString& caption) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    auto* browse = new QPushButton(u"Browse…"_s, row);
    browse->setAutoDefault(false);
    layout->addWidget(browse);
    // The row's label gives its keys to the line editor, not to the row.
    row->setFocusProxy(edit);
    connect(browse, &QPushButton::clicked, this, [this, edit, folder, caption] {
        QString start = edit->text().trimmed();
        if (start.isEmpty())
            start = folder ? QFileInfo(m_feedPath).absolutePath() : QDir::homePath();
        const QString chosen = folder ? QFileDialog::getExistingDirectory(this, caption, start)
                                      : QFileDialog::getOpenFileName(this, caption, start);
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    return row;
}

void PublishSettingsDialog::takeUserFromDestination() {
    const QString text = m_destination->text().trimmed();
    QUrl url(text, QUrl::TolerantMode);
    // A URL with a password stays as typed: OK refuses it and says why.
    if (!url.isValid() || url.userName().isEmpty() || !url.password().isEmpty())
        return;
    m_user->setText(url.userName(QUrl::FullyDecoded));
    url.setUserName(QString());
    m_destination->setText(url.toString());
}

void PublishSettingsDialog::updateEnabled() {
    const QString scheme = SchemeOf(m_destination->text());
    const bool known = !scheme.isEmpty();
    m_requireTls->setEnabled(!known || scheme == u"ftp");
    m_keyFile->parentWidget()->setEnabled(!known || scheme == u"sftp");
    m_caFile->parentWidget()->setEnabled(!known || scheme == u"ftp" || scheme == u"ftps" ||
                                         scheme == u"https");
    m_user->setEnabled(scheme != u"file");
    const bool media = m_uploadEnclosures->isChecked();
    m_mediaFolder->parentWidget()->setEnabled(media);
    m_mediaDestination->setEnabled(media);
}

FeedPublishSettings PublishSettingsDialog::settings() const {
    FeedPublishSettings s;
    s.destination = m_destination->text().trimmed();
    const QString user = m_user->text().trimmed();
    if (!s.destination.isEmpty() && !user.isEmpty() && SchemeOf(s.destination) != u"file") {
        QUrl url(s.destination, QUrl::TolerantMode);
        if (url.isValid()) {
            url.setUserName(user, QUrl::DecodedMode);
            s.destination = url.toString();
        }
    }
    s.requireTls = m_requireTls->isChecked();
    s.keyFile = m_keyFile->text().trimmed();
    s.caFile = m_caFile->text().trimmed();
    s.publishAfterSave = m_publishAfterSave->isChecked();
    s.uploadEnclosures = m_uploadEnclosures->isChecked();
    s.mediaBaseUrl = m_mediaBaseUrl->text().trimmed();
    s.mediaFolder = m_mediaFolder->text().trimmed();
    s.mediaDestination = m_mediaDestination->text().trimmed();
    return s;
}

QString PublishSettingsDialog::errorText() const {
    return m_error->isVisible() ? m_error->text() : QString();
}

void PublishSettingsDialog::showError(const QString& text, QWidget* field) {
    m_error->setText(text);
    m_error->show();
    if (field) {
        field->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            edit->selectAll();
    }
}

void PublishSettingsDialog::accept() {
    FeedPublishSettings s = settings();
    PublishDestination destination;
    QString why;
    if (!s.destination.isEmpty() &&
        !destination.Parse(s.destination, QFileInfo(m_feedPath).fileName(), &why))
        return showError(u"Address: "_s + why, m_destination);
    if (!s.destination.isEmpty() && IsFeedItself(destination, m_feedPath))
        return showError(u"The address names the feed file itself."_s, m_destination);
    // Paths are kept absolute: the program may start in any folder.
    s.keyFile = AbsolutePath(s.keyFile, QDir::homePath());
    s.caFile = AbsolutePath(s.caFile, QDir::homePath());
    s.mediaFolder = AbsolutePath(s.mediaFolder, QFileInfo(m_feedPath).absolutePath());
    if (!s.keyFile.isEmpty() && !QFileInfo(s.keyFile).isFile())
        return showError(u"There is no file "_s + s.keyFile + u'.', m_keyFile);
    if (!s.caFile.isEmpty() && !QFileInfo(s.caFile).isFile())
        return showError(u"There is no file "_s + s.caFile + u'.', m_caFile);
    if (!s.mediaBaseUrl.isEmpty()) {
        const QUrl base(s.mediaBaseUrl, QUrl::TolerantMode);
        const QString scheme = base.scheme().toLower();
        if (!base.isValid() || base.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
            return showError(u"The media web address must be an http:// or https:// address."_s,
                             m_mediaBaseUrl);
    }
    if (s.uploadEnclosures) {
        if (s.mediaBaseUrl.isEmpty())
            return showError(u"Give the media web address the enclosures point to, so their "
                             "files can be found."_s,
                             m_mediaBaseUrl);
        if (!s.mediaFolder.isEmpty() && !QFileInfo(s.mediaFolder).isDir())
            return showError(u"There is no folder "_s + s.mediaFolder + u'.', m_mediaFolder);
        if (!s.mediaDestination.isEmpty()) {
            PublishDestination media;
            QString text = s.mediaDestination;
            if (!text.endsWith(u'/'))
                text += u'/';
            if (!media.Parse(text, u"x"_s, &why))
                return showError(u"Media destination: "_s + why, m_mediaDestination);
            if (destination.isValid() && media.credentialKey() != destination.credentialKey())
                return showError(u"The media destination must be on the same server, with the "
                                 "same user, as the address."_s,
                                 m_mediaDestination);
        }
    }
    if (!s.Store(m_settingsFile, m_feedPath))
        return showError(u"The settings could not be written to "_s + m_settingsFile + u'.',
                         nullptr);
    QDialog::accept();
}
