// A document window: the editor view in the middle, the posts bar docked on
// the left and the HTML code preview at the bottom, and the hub that carries
// the document's notifications to both bars.
#pragma once

#include "document/documentlistener.h"

#include <QList>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>

#include <memory>

class CBarRssItems;
class CChildFrame;
class CHtmlCodeEdit;
class CHtmlPreviewBar;
class CMainFrame;
class CProblemsDock;
class CRSSEditDoc;
class CRSSEditView;
class QLabel;
class UiServices;

// Passes the document's notifications on to the frame's bars, never back to
// the one that sent them.
class CFrameHub final : public DocumentListener {
public:
    explicit CFrameHub(CChildFrame* frame) : m_frame(frame) {}
    void setListeners(const QList<DocumentListener*>& listeners) { m_listeners = listeners; }
    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) override;

private:
    CChildFrame* m_frame;
    QList<DocumentListener*> m_listeners;
};

class CChildFrame final : public QMainWindow, public DocumentTitleListener {
    Q_OBJECT
public:
    // The frame owns the document; ui is not owned.
    CChildFrame(std::unique_ptr<CRSSEditDoc> doc, UiServices* ui, QWidget* parent = nullptr);
    ~CChildFrame() override;

    CRSSEditDoc* document() const { return m_doc.get(); }
    CBarRssItems* postsBar() const { return m_postsBar; }
    CHtmlPreviewBar* previewBar() const { return m_previewBar; }
    CRSSEditView* view() const { return m_view; }
    CFrameHub* hub() { return &m_hub; }
    // The Problems pane, once Tools > Validate Feed opened it; else null.
    CProblemsDock* problemsDock() const { return m_problems; }
    // Shows the Problems pane (made on first use) and checks the feed.
    void showProblems();

    // The sub-window of the main frame's MDI area this frame lives in.
    QMdiSubWindow* createSubWindow(CMainFrame* mainFrame);
    QMdiSubWindow* subWindow() const { return m_subWindow; }

    // The full path (or the title), then " *" while modified.
    QString frameTitle() const;
    // The file name (or the title), then " *" while modified: the window's tab.
    QString tabTitle() const;

    // Offers the command to the posts bar, then to the preview while it has
    // the focus, then to the view, the document and the frame itself; false
    // when none of them took it.
    bool routeCommand(int id);
    // True when one of them answered for the command.
    bool commandStatus(int id, bool* enabled, bool* checked);

    void showPostsBar(bool show);
    void focusView();
    void focusNextPane(bool forward);
    // The bars' sizes and places, shared by every document window.
    void saveLayout();
    void restoreLayout();

    void OnDocumentTitleChanged(const CRSSEditDoc& doc) override;

    // A file that is not RSS is shown, never edited: a bar above the editor
    // says why, its XML stands read-only in the editor's place, and every
    // command that would change it is disabled.
    bool isReadOnly() const { return m_readOnly; }
    QString readOnlyReason() const;
    QWidget* readOnlyBar() const { return m_readOnlyBar; }
    CHtmlCodeEdit* sourceView() const { return m_sourceView; }
    // Looks at the loaded feed again (after open and reload).
    void applyFeedKind();

signals:
    void titleChanged();
    // A command the frame's parts did not take, for the main frame.
    void commandForFrame(int id);
    // The status bar should show text (the link at the editor's caret).
    void statusTextChanged(const QString& text);

private:
    bool previewHasFocus() const;
    bool sourceHasFocus() const;
    bool viewHandleCommand(int id);
    bool viewCommandStatus(int id, bool* enabled, bool* checked);
    // Puts the editor's focus on a field of the current post.
    void focusField(const QString& field);
    // A fix changed post under the editor and the preview: they show it again.
    void showFixedPost(int post);

    std::unique_ptr<CRSSEditDoc> m_doc;
    UiServices* m_ui;
    CFrameHub m_hub;
    CBarRssItems* m_postsBar = nullptr;
    CHtmlPreviewBar* m_previewBar = nullptr;
    CProblemsDock* m_problems = nullptr;
    CRSSEditView* m_view = nullptr;
    QWidget* m_readOnlyBar = nullptr;
    QLabel* m_readOnlyText = nullptr;
    CHtmlCodeEdit* m_sourceView = nullptr;
    bool m_readOnly = false;
    QPointer<QMdiSubWindow> m_subWindow;
};
