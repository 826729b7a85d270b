#include "publishui/publishquestions.h"

#include "publish/publishdestination.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PasswordDialog::PasswordDialog(const PublishDestination& destination, bool refused,
                               bool canRemember, QWidget* parent)
    : QDialog(parent), m_canRemember(canRemember) {
    setObjectName(u"passwordDialog"_s);
    setWindowTitle(u"Password"_s);

    QString who = destination.userName();
    if (!who.isEmpty())
        who += u'@';
    who += destination.url().host();
    auto* text = new QLabel(this);
    text->setWordWrap(true);
    text->setTextFormat(Qt::RichText);
    QString html;
    if (refused)
        html = u"<b>The server refused the password.</b><br>"_s;
    html += u"Password for <b>%1</b> to publish to<br>%2"_s.arg(
        who.toHtmlEscaped(), destination.displayText().toHtmlEscaped());
    text->setText(html);

    m_password = new QLineEdit(this);
    m_password->setObjectName(u"password"_s);
    m_password->setEchoMode(QLineEdit::Password);
    m_remember = new QCheckBox(u"&Remember in the keyring"_s, this);
    m_remember->setObjectName(u"remember"_s);
    m_remember->setChecked(canRemember);

    auto* form = new QFormLayout;
    form->addRow(u"&Password:"_s, m_password);
    if (canRemember)
        form->addRow(QString(), m_remember);
    else
        m_remember->hide();
    auto* note = new QLabel(canRemember ? u"Without the keyring it is kept only until Orvan "
                                          "quits."_s
                                        : u"No keyring is running: the password is kept only "
                                          "until Orvan quits."_s,
                            this);
    note->setWordWrap(true);
    QLabel* plain = nullptr;
    if (destination.protocol() == PublishProtocol::Ftp && !destination.requireTls) {
        plain = new QLabel(u"Plain FTP: the password travels unencrypted. Turn on \"Require "
                           "TLS\" in the Publish Settings if the server offers it."_s,
                           this);
        plain->setWordWrap(true);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(note);
    if (plain)
        layout->addWidget(plain);
    layout->addWidget(buttons);
    setMinimumWidth(380);
    m_password->setFocus();
}

QString PasswordDialog::password() const {
    return m_password->text();
}

bool PasswordDialog::remember() const {
    return m_canRemember && m_remember->isChecked();
}

HostKeyQuestion::HostKeyQuestion(const HostKeyInfo& key, QWidget* parent) : QMessageBox(parent) {
    setObjectName(u"hostKeyQuestion"_s);
    setIcon(QMessageBox::Warning);
    setWindowTitle(u"Unknown Server"_s);
    setTextFormat(Qt::RichText);
    setText(u"The server <b>%1</b> is not known yet."_s.arg(key.hostName.toHtmlEscaped()));
    setInformativeText(
        u"It shows this %1 key:<br><br><tt>%2</tt><br><br>Compare the fingerprint with the one "
        "the server's administrator gave you. If they match, the key is added to %3 and the "
        "upload goes on; if they do not, someone may be listening in."_s.arg(
            key.keyType.toHtmlEscaped(), key.fingerprint.toHtmlEscaped(),
            key.knownHostsFile.toHtmlEscaped()));
    m_add = addButton(u"&Add and Continue"_s, QMessageBox::AcceptRole);
    QAbstractButton* cancel = addButton(QMessageBox::Cancel);
    setDefaultButton(qobject_cast<QPushButton*>(cancel));
    setEscapeButton(cancel);
}
