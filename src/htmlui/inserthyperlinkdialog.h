// Edits a link's URL, text, title and target. While the user types a page's
// address, the page's title is looked up (cache first, then the web) and
// filled in; the clipboard suggests the address when there is none yet.
#pragma once

#include "html/linkhtml.h"
#include "htmlui/animateddialog.h"

#include <QTimer>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WebSiteTitleCache;

class InsertHyperlinkDialog final : public CAnimatedDialog {
    Q_OBJECT
public:
    // The link text is editable only in TextEditable; the editor shows it read-only.
    enum Mode { TextReadOnly = 0, TextEditable = 1 };

    // Titles come from titles, or from the program's cache when it is null.
    explicit InsertHyperlinkDialog(QWidget* parent = nullptr, WebSiteTitleCache* titles = nullptr);
    ~InsertHyperlinkDialog() override;

    // Runs the dialog over info, owned by parent's window; on OK the edited
    // record is copied back and the answer is true.
    static bool editLink(LinkInfo& info, int mode, QWidget* parent = nullptr);

    // Fills the fields; call before showing.
    void setLinkInfo(const LinkInfo& info, int mode);
    // The record as confirmed with OK (titles with ' for every ").
    LinkInfo linkInfo() const { return m_info; }

    // The dialog that is open now, or null; fetched titles go to it.
    static InsertHyperlinkDialog* openDialog();
    // Hands a fetched title to the open dialog, if there is one.
    static void deliverTitle(const QString& url, const QString& title);
    // True for an address that names a web page (.htm, .html, .shtml, .php, or ending in "/").
    static bool isPageUrl(const QString& text);

    QLineEdit* urlEdit() const { return m_url; }
    QLineEdit* textEdit() const { return m_text; }
    QLineEdit* titleEdit() const { return m_title; }
    QComboBox* targetCombo() const { return m_target; }
    QPushButton* visitButton() const { return m_visit; }
    QPushButton* updateTitleButton() const { return m_updateTitle; }
    // Says why an address was refused; hidden otherwise.
    QLabel* messageLabel() const { return m_message; }

public slots:
    // A fetched title; it fills the Title field while the URL field holds exactly url.
    void titleArrived(const QString& url, const QString& title);
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void onUnfolded() override;

private:
    void urlEdited(const QString& text);
    void lookupTitle(const QString& urlText);
    void visitUrl();
    void updateButtons();
    void showMessage(const QString& text);
    void fitHeight();

    WebSiteTitleCache* m_titles;
    LinkInfo m_info;
    bool m_initialised = false;
    // Runs the lookup once the user has paused typing the address.
    QTimer m_urlPause;
    QLineEdit* m_url = nullptr;
    QPushButton* m_visit = nullptr;
    QLabel* m_textLabel = nullptr;
    QLineEdit* m_text = nullptr;
    QLineEdit* m_title = nullptr;
    QPushButton* m_updateTitle = nullptr;
    QComboBox* m_target = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
