// What an upload asks the user: a password the server wants, and whether to
// trust a server whose key is not known yet.
#pragma once

#include "publish/publishhooks.h"

#include <QDialog>
#include <QMessageBox>

class PublishDestination;
class QCheckBox;
class QLineEdit;

class PasswordDialog final : public QDialog {
    Q_OBJECT
public:
    // refused: the server turned down the last password. canRemember offers to
    // keep it in the desktop's keyring, which only makes sense when one runs.
    PasswordDialog(const PublishDestination& destination, bool refused, bool canRemember,
                   QWidget* parent = nullptr);

    QString password() const;
    bool remember() const;

private:
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    bool m_canRemember;
};

// "Add and Continue" or Cancel for a server that is not in the known hosts;
// Cancel is the default, so a stray Return trusts nothing.
class HostKeyQuestion final : public QMessageBox {
    Q_OBJECT
public:
    HostKeyQuestion(const HostKeyInfo& key, QWidget* parent = nullptr);
    bool accepted() const { return clickedButton() == m_add; }

private:
    QAbstractButton* m_add = nullptr;
};
