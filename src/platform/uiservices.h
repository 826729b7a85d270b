// What the core asks of the desktop: questions, beeps, the clipboard and the
// user's browser or file manager. The desktop program implements it with Qt
// Widgets; the command-line tool and the tests use the quiet or recording
// implementations, so the core never includes a widget header.
#pragma once

#include <QString>

class UiServices {
public:
    virtual ~UiServices() = default;

    // An OK/Cancel question with the question icon; true when the user chose OK.
    virtual bool AskOkCancel(const QString& question) = 0;
    // The simple system beep that answers a small failure of a user action.
    virtual void Beep() = 0;
    // Replaces the clipboard text; false when the clipboard could not be written.
    virtual bool PutClipboardText(const QString& text) = 0;
    // Shows a local folder in the file manager; on failure errorText (if given)
    // receives the system's reason.
    virtual bool OpenFolder(const QString& path, QString* errorText = nullptr) = 0;
    // Opens a web address in the user's browser.
    virtual bool OpenUrl(const QString& url) = 0;
    // An error message box with an OK button.
    virtual void ShowError(const QString& text) = 0;
    // An information message box with an OK button and no icon.
    virtual void ShowMessage(const QString& text) = 0;

    // The answers below have defaults for programs without a desktop: they
    // choose what risks nothing, so nothing happens that nobody agreed to.

    // A Yes/No question with the warning icon; true for Yes. Default: No.
    virtual bool AskYesNo(const QString& question) {
        (void)question;
        return false;
    }
    // What to do with a file another program changed since it was loaded.
    enum class ChangedFileChoice { Overwrite, Reload, Cancel };
    // Asked with the buttons Overwrite, Reload and Cancel. Default: Cancel.
    virtual ChangedFileChoice AskChangedFile(const QString& question) {
        (void)question;
        return ChangedFileChoice::Cancel;
    }
    // A passing note in the status bar. Default: nothing is shown.
    virtual void ShowStatusMessage(const QString& text) { (void)text; }
};

// For programs without a desktop: every question is answered OK, nothing is
// shown, and whatever needs the desktop reports failure.
class QuietUiServices final : public UiServices {
public:
    bool AskOkCancel(const QString&) override { return true; }
    void Beep() override {}
    bool PutClipboardText(const QString&) override { return false; }
    bool OpenFolder(const QString&, QString*) override { return false; }
    bool OpenUrl(const QString&) override { return false; }
    void ShowError(const QString&) override {}
    void ShowMessage(const QString&) override {}
};
