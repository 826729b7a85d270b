// The post editor: the only view of a feed document. It shows the document's
// current post in the editor face (an HtmlSurface page) and writes every edit
// back into the post it was made in: the title, link and author as they are
// typed, the body once typing pauses and whenever the document needs it
// (store, save, switch, close), after waiting for the page to catch up.
#pragma once

#include "document/documentlistener.h"
#include "htmlui/htmlvalue.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <pugixml.hpp>

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
    // Waits for the page, then writes body, link and author into the post on
    // show (only after an edit when onlyIfChanged). index is the document's
    // current post; the post written is the one the face shows.
    void StorePost(int index, bool onlyIfChanged);
    // Waits until the page has handled every key typed so far and stores
    // what the document does not have yet into the post it was typed in;
    // false when the page did not answer.
    bool SyncWithPage();
    // mode 1 marks the face changed, mode 2 clears the mark, others leave it.
    void SetBodyHtml(const QString& html, int mode);
    // The body as the rich-text behaviour saves it, with its selection
    // markers (waits for the page).
    QString SaveBodyHtml() const;
    // Sends the cleaned body to the document as the current post's description.
    void PushBody();
    void FocusBody();
    void ShowPostTitle(int index);
    // Writes the link ("select_link") or author ("select_author") field into the post on show.
    void StoreChoice(const QString& id);
    // Offers text in the drop-down (when new) and shows it; an empty text
    // changes nothing. The link list also offers every link of the feed.
    void AddChoice(const QString& id, const QString& text);
    // What the drop-down lists when it opens: what was offered, then for the
    // link every link of the feed in ordinal order.
    QStringList Choices(const QString& id) const;
    // An empty link field shows "<Enter link to article here...>" in red; it is never a value.
    void ShowLinkPlaceholder();
    void UpdateLinkColor();
    // What the face shows in a drop-down right now (also before the page has caught up).
    QString ShownChoice(const QString& id) const;
    // The status-line text: the href of a link at the caret, else "Ready".
    QString statusText() const { return m_statusText; }
    bool IsFaceChanged() const { return m_bFaceChanged; }
    quint32 StyleFlags() const { return m_nStyleFlags; }
    // The index of the post on show, -1 when none (or it was removed).
    int ShownPost() const;
    // A file the program shows but cannot edit: nothing in the face takes
    // input until it is made editable again.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

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
    // Insert > Hyperlink and Insert > Image: a new link or image at the
    // selection, or the attributes of the one at the caret.
    void OnInsertHyperlink();
    void OnInsertImage();
    void InsertNewLink();
    void EditLinkAttributes(int index);
    void InsertNewImage();
    void EditImageAttributes(int index);
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
    // True when the face shows a post that may be edited, once the page has
    // caught up with the keys typed so far (so the caret's state is current).
    bool readyToInsert();
    // Gives the window and the post the keyboard back after a dialog.
    void returnFromDialog();
    void cleanUp(const std::function<bool(QString&)>& transform);
    // The index of the post the page numbered serial, -1 when it is gone.
    int postOf(qint64 serial) const;
    // Forgets the posts no longer in the feed (all of them after a load).
    void forgetPosts(bool all);
    void updateEditable();
    // What the page answered to "take" or to "load" (the body it replaced).
    void storeTaken(const HtmlValue& answer);
    void storeBody(qint64 serial, const QString& html);
    void storeTitle(qint64 serial, const QString& text);
    void storeChoiceText(const QString& id, qint64 serial, const QString& text);
    void bodyChanged(qint64 serial);

    CRSSEditDoc* m_doc = nullptr;
    HtmlSurface* m_surface = nullptr;
    QList<QAction*> m_actions;
    QHash<int, QAction*> m_actionById;
    QString m_statusText;
    std::function<void(const QString&)> m_messageSink;
    // Values sent to the page that its snapshot may not show yet, with the
    // number of the call that will confirm them.
    QHash<QString, QString> m_pendingChoice;
    QHash<QString, int> m_choiceSeq;
    // Every post loaded into the face gets a number; the page tags each edit
    // with it. The number leads to the post's item element (and where it was
    // last seen), so an edit reaches the post it was made in even when it
    // arrives late, whatever was inserted, removed or sorted meanwhile.
    struct ShownItem {
        pugi::xml_node item;
        int index = -1;
    };
    mutable QHash<qint64, ShownItem> m_shown;
    qint64 m_serial = 0;
    qint64 m_lastSerial = 0;
    // Stores the body once typing pauses, for the code preview and the list.
    QTimer m_storeTimer;
    // Texts offered in each drop-down, in the order offered.
    QHash<QString, QStringList> m_offered;
    QHash<QString, QSet<QString>> m_offeredSet;
    bool m_readOnly = false;
    // What the two toolbar buttons the view keeps in step were last told.
    int m_hyperlinkDisabled = -1;
    int m_strikeChecked = -1;
};
