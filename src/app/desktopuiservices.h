// The desktop's answers to what the document asks: message boxes, the beep,
// the clipboard and the user's browser and file manager.
#pragma once

#include "platform/uiservices.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class DesktopUiServices : public UiServices {
public:
    // Message boxes are owned by parent's window (the main frame).
    explicit DesktopUiServices(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    bool AskOkCancel(const QString& question) override;
    void Beep() override;
    bool PutClipboardText(const QString& text) override;
    bool OpenFolder(const QString& path, QString* errorText = nullptr) override;
    bool OpenUrl(const QString& url) override;
    void ShowError(const QString& text) override;
    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString& question) override;
    ChangedFileChoice AskChangedFile(const QString& question) override;
    // Shown for ten seconds in the status bar of the main window.
    void ShowStatusMessage(const QString& text) override;

    // "Save changes to …?" with Yes, No and Cancel.
    enum class SaveAnswer { Save, Discard, Cancel };
    virtual SaveAnswer AskSaveChanges(const QString& documentName);
    // File dialogs filtered to "RSS Feeds (*.xml)"; empty or no names when cancelled.
    virtual QStringList ChooseOpenFileNames(const QString& folder);
    virtual QString ChooseSaveFileName(const QString& suggestion);

protected:
    QWidget* parentWidget() const { return m_parent; }

private:
    QPointer<QWidget> m_parent;
};
