// The post editor: the only view of a feed document. It shows the document's
// current post in the editor face (an HtmlSurface page) and writes every edit
// straight back into the document.
#pragma once

#include "document/documentlistener.h"
#include "htmlui/htmlvalue.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class CRSSEditDoc;
class HtmlSurface;
struct HtmlEvent;
class QAction;
class QPrinter;

// Registers the face's page, scripts, style sheets and images (qrc:/editor/).
void InitEditorResources();

class CRSSEditView final : public QWidget, public DocumentView {
    Q_OBJECT
public:
    // Bits of m_nStyleFlags: the formatting at the caret.
    enum StyleFlag : quint32 {
        StyleBold = 1,
        StyleItalic = 2,
        StyleUnderline = 4,
        StyleStrike = 8
    };

    // Registers itself as a view of doc; the document must outlive the view.
    explicit CRSSEditView(CRSSEditDoc* doc, QWidget* parent = nullptr);
    ~CRSSEditView() override;

    CRSSEditDoc* GetDocument() const { return m_doc; }
    HtmlSurface* surface() const { return m_surface; }
    // Processes events until the face is loaded; false when it failed.
    bool waitUntilLoaded();

    // --- the document's notifications -------------------------------------------
    void OnUpdate(DocumentListener* sender, DocHint hint, const HintParam& param) override;

    // --- lifecycle of a post in the face ------------------------------------------
    // Shows post index; nothing unless 0 <= index < post count.
    void LoadPost(int index);
    // Writes body, link and author into post index (only after an edit when onlyIfChanged).
    void StorePost(int index, bool onlyIfChanged);
    // mode 1 marks the face changed, mode 2 clears the mark, others leave it.
    void SetBodyHtml(const QString& html, int mode);
    // The body as the rich-text behaviour saves it, with its selection markers.
    QString SaveBodyHtml() const;
    // Sends the cleaned body to the document as the current post's description.
    void PushBody();
    void FocusBody();
    void ShowPostTitle(int index);
    void StoreTitle();
    // Writes the link ("select_link") or author ("select_author") field into the current post.
    void StoreChoice(const QString& id);
    // Offers text in the drop-down (when new) and shows it; an empty text changes nothing.
    void AddChoice(const QString& id, const QString& text);
    void FillLinkChoices();
    // An empty link field shows "<Enter link to article here...>" in red; it is never a value.
    void ShowLinkPlaceholder();
    void UpdateLinkColor();
    // What the face shows in a drop-down right now (also before the page has caught up).
    QString ShownChoice(const QString& id) const;
    // The status-line text: the href of a link at the caret, else "Ready".
    QString statusText() const { return m_statusText; }
    bool IsFaceChanged() const { return m_bFaceChanged; }
    quint32 StyleFlags() const { return m_nStyleFlags; }

    // --- editing commands -----------------------------------------------------------
    // The view's commands (ids of platform/commandids.h) for the shell's menus.
    QList<QAction*> editActions() const { return m_actions; }
    QAction* action(int commandId) const { return m_actionById.value(commandId); }
    bool handlesCommand(int commandId) const { return m_actionById.contains(commandId); }
    // Runs a command of the view; false when the view does not handle it.
    bool handleCommand(int commandId);
    // Enabled and checked state of a command; false when the view does not handle it.
    bool commandStatus(int commandId, bool* enabled, bool* checked = nullptr) const;
    // Brings every action's enabled and checked marks up to date.
    void updateActions();

    void CallEditMethod(const QString& name);
    // The answer of a can… method: empty when there is none (the command is disabled).
    std::optional<bool> QueryEditMethod(const QString& name) const;
    void ToggleSpan(const QString& tag);
    void RefreshCurrentStyle();
    void UpdateToolbarStates();
    // "Remove SPAN and styles" and "Remove &nbsp;".
    void OnRemoveSpansAndStyles();
    void OnRemoveNbsp();
    void OnInsertTest();
    void OnUlList();
    void OnFilePrint();
    void OnFilePrintPreview();
    // Renders the post as the printer would and hands the PDF bytes to done.
    void printToPdf(std::function<void(const QByteArray&)> done);
    // Prints the face's post onto printer and waits until it is done.
    bool printPost(QPrinter* printer);

    // --- caret objects and selection queries -------------------------------------------
    bool GetCurrentObjects(QStringList& list) const;
    bool GetCurrentObjectAttributes(int index, QMap<QString, QString>& attributes) const;
    bool SetCurrentObjectAttributes(int index, const QMap<QString, QString>& attributes);
    int FindCurrentObject(const QString& tag) const;
    QString CurrentObjectTag() const;
    bool GetSelectionRange(int& start, int& end) const;
    QString GetSelectionText() const;
    QString GetSelectionFragment() const;
    QString GetLinkRunText() const;
    void InsertHtml(const QString& html);
    bool CanEditLink() const;

    // Where "Insert Test" shows its text; a message box unless replaced.
    void setMessageSink(std::function<void(const QString&)> sink) {
        m_messageSink = std::move(sink);
    }

    // The face was edited since a post was last loaded into it.
    bool m_bFaceChanged = false;
    // The formatting at the caret as of the last caret move (StyleFlag bits).
    quint32 m_nStyleFlags = 0;

signals:
    // The status line should show text.
    void statusTextChanged(const QString& text);
    // A toolbar button asks for a command the shell routes (hyperlink, image).
    void commandRequested(int commandId);
    // The face is loaded (ok) or could not be loaded.
    void faceLoaded(bool ok);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    void loadFace();
    void onHtmlEvent(const HtmlEvent& event);
    void onPostsInserted();
    void createActions();
    QAction* addCommand(int id, const QString& text, const QString& tip, bool checkable = false);
    HtmlValue richState(const QString& key) const;
    // Sends a value to a drop-down and remembers it until the page has it.
    void sendChoice(const QString& id, const QString& method, const QString& text);
    void setStatusText(const QString& text);
    void cleanUp(const std::function<bool(QString&)>& transform);

    CRSSEditDoc* m_doc = nullptr;
    HtmlSurface* m_surface = nullptr;
    QList<QAction*> m_actions;
    QHash<int, QAction*> m_actionById;
    QString m_statusText;
    std::function<void(const QString&)> m_messageSink;
    // Values sent to the page that its snapshot may not show yet, with the
    // number of the call that will confirm them.
    std::optional<QString> m_pendingBody;
    int m_bodySeq = 0;
    QHash<QString, QString> m_pendingChoice;
    QHash<QString, int> m_choiceSeq;
    // The page's first call of the last post loaded: an edit raised before the
    // page had handled it was made in the post shown before.
    qint64 m_loadCall = 0;
    // What the two toolbar buttons the view keeps in step were last told.
    int m_hyperlinkDisabled = -1;
    int m_strikeChecked = -1;
};
