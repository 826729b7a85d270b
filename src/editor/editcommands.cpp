// The editing and formatting commands of the post editor, the two toolbar
// buttons it keeps in step with the caret, the clean-up commands and printing.
#include "editor/rsseditview.h"

#include "document/rsseditdoc.h"
#include "feed/rssfeed.h"
#include "html/htmltransforms.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"

#include <QAction>
#include <QEventLoop>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

const QString kBody = u"#richtext_edit"_s;

// The behaviour method pair behind each clipboard and history command.
struct EditMethod {
    int id;
    const char16_t* query;
    const char16_t* action;
};
constexpr EditMethod kEditMethods[] = {
    {ID_EDIT_UNDO, u"canUndo", u"doUndo"},    {ID_EDIT_REDO, u"canRedo", u"doRedo"},
    {ID_EDIT_CUT, u"canCut", u"doCut"},       {ID_EDIT_COPY, u"canCopy", u"doCopy"},
    {ID_EDIT_PASTE, u"canPaste", u"doPaste"}, {ID_EDIT_SELECT_ALL, u"canSelectAll", u"doSelectAll"},
};

const EditMethod* editMethod(int id) {
    for (const EditMethod& m : kEditMethods) {
        if (m.id == id)
            return &m;
    }
    return nullptr;
}

struct StyleCommand {
    int id;
    quint32 mask;
    const char16_t* tag;
};
constexpr StyleCommand kStyleCommands[] = {
    {ID_FORMAT_BOLD, CRSSEditView::StyleBold, u"strong"},
    {ID_FORMAT_ITALIC, CRSSEditView::StyleItalic, u"em"},
    {ID_FORMAT_UNDERLINE, CRSSEditView::StyleUnderline, u"u"},
    {ID_FORMAT_STRIKEOUT, CRSSEditView::StyleStrike, u"s"},
};

const StyleCommand* styleCommand(int id) {
    for (const StyleCommand& c : kStyleCommands) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

} // namespace

QAction* CRSSEditView::addCommand(int id, const QString& text, const QString& tip, bool checkable) {
    auto* a = new QAction(text, this);
    a->setData(id);
    a->setCheckable(checkable);
    if (!tip.isEmpty()) {
        const qsizetype nl = tip.indexOf(u'\n');
        a->setStatusTip(nl < 0 ? tip : tip.left(nl));
        a->setToolTip(nl < 0 ? tip : tip.mid(nl + 1));
    }
    connect(a, &QAction::triggered, this, [this, id] { handleCommand(id); });
    m_actions.append(a);
    m_actionById.insert(id, a);
    return a;
}

void CRSSEditView::createActions() {
    addCommand(ID_EDIT_UNDO, u"&Undo"_s, QString())
        ->setShortcuts({QKeySequence(u"Ctrl+Z"_s), QKeySequence(u"Alt+Backspace"_s)});
    addCommand(ID_EDIT_REDO, u"&Redo"_s, QString())->setShortcuts(QKeySequence::Redo);
    addCommand(ID_EDIT_CUT, u"Cu&t"_s, QString())
        ->setShortcuts({QKeySequence(u"Ctrl+X"_s), QKeySequence(u"Shift+Del"_s)});
    addCommand(ID_EDIT_COPY, u"&Copy"_s, QString())
        ->setShortcuts({QKeySequence(u"Ctrl+C"_s), QKeySequence(u"Ctrl+Ins"_s)});
    addCommand(ID_EDIT_PASTE, u"&Paste"_s, QString())
        ->setShortcuts({QKeySequence(u"Ctrl+V"_s), QKeySequence(u"Shift+Ins"_s)});
    addCommand(ID_EDIT_SELECT_ALL, u"Select All"_s, QString())
        ->setShortcut(QKeySequence(u"Ctrl+A"_s));
    addCommand(ID_FORMAT_BOLD, u"Bold"_s, u"Set bold font\nBold"_s, true);
    addCommand(ID_FORMAT_ITALIC, u"Italic"_s, u"Set italic font\nItalic"_s, true);
    addCommand(ID_FORMAT_UNDERLINE, u"Underline"_s, u"Set underline font\nUnderline"_s, true);
    addCommand(ID_FORMAT_STRIKEOUT, u"Strikerough"_s, u"Set strikerough font\nStrikerough"_s, true);
    addCommand(ID_FORMAT_UL_LIST, u"UL List"_s, u"Set list UL\nUL List"_s);
    addCommand(ID_INSERT_HYPERLINK, u"Hyperlink\u2026"_s, QString())
        ->setShortcut(QKeySequence(u"Ctrl+K"_s));
    addCommand(ID_INSERT_IMAGE, u"Image\u2026"_s, QString())
        ->setShortcut(QKeySequence(u"Ctrl+L"_s));
    addCommand(ID_INSERT_TEST, u"Insert Test"_s, u"Insert Test\nInsert Test"_s);
    addCommand(ID_FORMAT_REMOVE_SPANS, u"Remove SPAN and styles"_s, QString());
    addCommand(ID_FORMAT_REMOVE_NBSP, u"Remove &&nbsp;"_s, QString());
    // No key: the main window gives Ctrl+P to the preview bar.
    addCommand(ID_FILE_PRINT, u"&Print..."_s, QString());
    addCommand(ID_FILE_PRINT_PREVIEW, u"Print Pre&view"_s, QString());
    updateActions();
}

bool CRSSEditView::commandStatus(int id, bool* enabled, bool* checked) const {
    if (!m_actionById.contains(id))
        return false;
    bool on = true;
    bool mark = false;
    if (const EditMethod* m = editMethod(id)) {
        const std::optional<bool> answer = QueryEditMethod(QString::fromUtf16(m->query));
        on = answer.value_or(false);
    } else if (const StyleCommand* c = styleCommand(id)) {
        // Formatting applies to the body only, so it waits for the body's focus.
        const HtmlValue focused = richState(u"focused"_s);
        on = focused.toBool();
        mark = (m_nStyleFlags & c->mask) == c->mask;
    } else if (id == ID_INSERT_HYPERLINK) {
        on = CanEditLink();
    }
    if (enabled)
        *enabled = on;
    if (checked)
        *checked = mark;
    return true;
}

void CRSSEditView::updateActions() {
    for (QAction* a : std::as_const(m_actions)) {
        bool on = false;
        bool mark = false;
        commandStatus(a->data().toInt(), &on, &mark);
        a->setEnabled(on);
        if (a->isCheckable())
            a->setChecked(mark);
    }
}

bool CRSSEditView::handleCommand(int id) {
    if (const EditMethod* m = editMethod(id)) {
        CallEditMethod(QString::fromUtf16(m->action));
        return true;
    }
    if (const StyleCommand* c = styleCommand(id)) {
        ToggleSpan(QString::fromUtf16(c->tag));
        return true;
    }
    switch (id) {
    case ID_FORMAT_UL_LIST:
        OnUlList();
        return true;
    case ID_INSERT_HYPERLINK:
        OnInsertHyperlink();
        return true;
    case ID_INSERT_IMAGE:
        OnInsertImage();
        return true;
    case ID_INSERT_TEST:
        OnInsertTest();
        return true;
    case ID_FORMAT_REMOVE_SPANS:
        OnRemoveSpansAndStyles();
        return true;
    case ID_FORMAT_REMOVE_NBSP:
        OnRemoveNbsp();
        return true;
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    default:
        return false;
    }
}

// The page's methods act on whichever of its editors has the focus (the
// body when none has), as the command's target is the focused element.
void CRSSEditView::CallEditMethod(const QString& name) {
    // The browser's own clipboard commands need no page permission.
    if (name == "doCut"_L1 || name == "doCopy"_L1 || name == "doPaste"_L1) {
        m_surface->page()->triggerAction(name == "doCut"_L1    ? QWebEnginePage::Cut
                                         : name == "doCopy"_L1 ? QWebEnginePage::Copy
                                                               : QWebEnginePage::Paste);
        return;
    }
    m_surface->callMethod(kBody, name);
}

std::optional<bool> CRSSEditView::QueryEditMethod(const QString& name) const {
    const HtmlValue answer = richState(name);
    if (answer.isInt() || answer.isBool())
        return answer.toBool();
    return std::nullopt;
}

void CRSSEditView::ToggleSpan(const QString& tag) {
    m_surface->callMethod(kBody, u"toggleSpan"_s, {HtmlValue(tag)});
    if (m_doc)
        m_doc->SetModifiedFlag(true);
}

void CRSSEditView::OnUlList() {
    m_surface->callMethod(kBody, u"setBlock"_s, {HtmlValue(u"ul/li"_s)});
}

void CRSSEditView::OnInsertTest() {
    const QString text = u"Current Object Tag: "_s + CurrentObjectTag();
    if (m_messageSink) {
        m_messageSink(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, this);
    box.exec();
}

void CRSSEditView::RefreshCurrentStyle() {
    const HtmlValue style = richState(u"style"_s);
    const HtmlValue weight = style.value(u"font-weight"_s);
    const qint64 w = weight.isInt() ? weight.toInt() : 0;
    auto set = [this](quint32 bit, bool on) {
        m_nStyleFlags = on ? (m_nStyleFlags | bit) : (m_nStyleFlags & ~bit);
    };
    set(StyleBold, w >= 700);
    set(StyleItalic, style.value(u"font-style"_s).toText().contains("italic"_L1));
    const HtmlValue decoration = style.value(u"text-decoration"_s);
    if (decoration.isString()) {
        set(StyleStrike, decoration.toText().contains("line-through"_L1));
        set(StyleUnderline, decoration.toText().contains("underline"_L1));
    } else {
        set(StyleStrike, false);
        set(StyleUnderline, false);
    }
}

void CRSSEditView::UpdateToolbarStates() {
    // Sets or removes a boolean attribute of a toolbar button, only when its
    // state changed since the last call, so typing sends no needless calls.
    const auto sync = [this](int& shown, int wanted, const QString& selector,
                             const QString& attribute) {
        if (wanted == shown)
            return;
        shown = wanted;
        const HtmlElement button = m_surface->element(selector);
        if (wanted)
            button.setAttribute(attribute, QString());
        else
            button.removeAttribute(attribute);
    };
    sync(m_hyperlinkDisabled, CanEditLink() ? 0 : 1, u"#tb_hyperlink"_s, u"disabled"_s);
    const HtmlValue decoration = richState(u"style"_s).value(u"text-decoration"_s);
    sync(m_strikeChecked,
         decoration.isString() && decoration.toText().contains("line-through"_L1) ? 1 : 0,
         u"#tb_strikeout"_s, u"checked"_s);
}

// Both clean-ups: store the body as shown, transform the stored description,
// and when that changed anything show and push the result.
void CRSSEditView::cleanUp(const std::function<bool(QString&)>& transform) {
    if (!m_doc)
        return;
    const int index = m_doc->GetCurrentPost();
    if (index < 0 || index >= m_doc->GetPostCount())
        return;
    StorePost(index, false);
    CRssFeed& feed = m_doc->GetFeed();
    QString description = feed.GetDescription(index);
    if (!transform(description))
        return;
    feed.SetDescription(index, description);
    m_doc->SetModifiedFlag(true);
    SetBodyHtml(description, 1);
    PushBody();
}

void CRSSEditView::OnRemoveSpansAndStyles() {
    cleanUp([](QString& text) { return RemoveSpansAndStyles(text); });
}

void CRSSEditView::OnRemoveNbsp() {
    cleanUp([](QString& text) { return ReplaceTexts(text, {u"&nbsp;"_s}); });
}

// --- printing ---------------------------------------------------------------------------

bool CRSSEditView::printPost(QPrinter* printer) {
    if (!printer || !m_surface->waitUntilLoaded())
        return false;
    // The post's frame grows to the whole post while it is printed.
    m_surface->callMethodAndWait(kBody, u"fitToContent"_s, {HtmlValue(true)}, 10000);
    QEventLoop loop;
    bool ok = false;
    const auto c =
        connect(m_surface->view(), &QWebEngineView::printFinished, &loop, [&](bool success) {
            ok = success;
            loop.quit();
        });
    m_surface->view()->print(printer);
    loop.exec();
    disconnect(c);
    m_surface->callMethod(kBody, u"fitToContent"_s, {HtmlValue(false)});
    return ok;
}

void CRSSEditView::printToPdf(std::function<void(const QByteArray&)> done) {
    // The post's frame grows to the whole post while it is printed.
    m_surface->callMethod(kBody, u"fitToContent"_s, {HtmlValue(true)},
                          [this, done = std::move(done)](const HtmlValue&) mutable {
                              m_surface->page()->printToPdf(
                                  [this, done = std::move(done)](const QByteArray& pdf) {
                                      m_surface->callMethod(kBody, u"fitToContent"_s,
                                                            {HtmlValue(false)});
                                      if (done)
                                          done(pdf);
                                  },
                                  QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                              QMarginsF(15, 15, 15, 15)));
                          });
}

void CRSSEditView::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printPost(&printer);
}

void CRSSEditView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { printPost(target); });
    preview.exec();
}
