#include "app/desktopuiservices.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Orvan"_s;
const QString kFeedFilter = u"RSS Feeds (*.xml)"_s;
} // namespace

bool DesktopUiServices::AskOkCancel(const QString& question) {
    return QMessageBox::question(m_parent, kCaption, question,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void DesktopUiServices::Beep() {
    QApplication::beep();
}

bool DesktopUiServices::PutClipboardText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
}

bool DesktopUiServices::OpenFolder(const QString& path, QString* errorText) {
    const QFileInfo info(path);
    if (!info.isDir()) {
        if (errorText)
            *errorText = info.exists() ? u"Not a directory"_s : u"No such file or directory"_s;
        return false;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        return true;
    if (errorText)
        *errorText = u"No file manager could be started"_s;
    return false;
}

bool DesktopUiServices::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

void DesktopUiServices::ShowError(const QString& text) {
    QMessageBox::critical(m_parent, kCaption, text);
}

void DesktopUiServices::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool DesktopUiServices::AskYesNo(const QString& question) {
    return QMessageBox::warning(m_parent, kCaption, question, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

UiServices::ChangedFileChoice DesktopUiServices::AskChangedFile(const QString& question) {
    QMessageBox box(QMessageBox::Warning, kCaption, question, QMessageBox::NoButton, m_parent);
    QPushButton* overwrite = box.addButton(u"Overwrite"_s, QMessageBox::DestructiveRole);
    QPushButton* reload = box.addButton(u"Reload"_s, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == overwrite)
        return ChangedFileChoice::Overwrite;
    if (box.clickedButton() == reload)
        return ChangedFileChoice::Reload;
    return ChangedFileChoice::Cancel;
}

void DesktopUiServices::ShowStatusMessage(const QString& text) {
    if (auto* window = qobject_cast<QMainWindow*>(m_parent.data()))
        window->statusBar()->showMessage(text, 10000);
}

DesktopUiServices::SaveAnswer DesktopUiServices::AskSaveChanges(const QString& documentName) {
    const auto answer = QMessageBox::question(
        m_parent, kCaption, u"Save changes to %1?"_s.arg(documentName),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return SaveAnswer::Save;
    if (answer == QMessageBox::Discard)
        return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

QStringList DesktopUiServices::ChooseOpenFileNames(const QString& folder) {
    return QFileDialog::getOpenFileNames(m_parent, u"Open"_s, folder,
                                         kFeedFilter + u";;All Files (*)"_s);
}

QString DesktopUiServices::ChooseSaveFileName(const QString& suggestion) {
    QFileDialog dialog(m_parent, u"Save As"_s, suggestion, kFeedFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"xml"_s);
    dialog.selectFile(suggestion);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
