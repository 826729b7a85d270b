// The help window (F1): how the editor is used, and every command's keys as
// the program binds them on this desktop.
#pragma once

#include <QDialog>

class QTextBrowser;

class CHelpWindow final : public QDialog {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    // The page shown: built from the command table, so it names the keys that work.
    static QString PageHtml();
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
