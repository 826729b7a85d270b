// Insert > Hyperlink and Insert > Image: what stands at the caret decides
// between a new element and editing the one there; the dialogs edit a record,
// and the result goes back into the body as escaped HTML through the page's
// insertion (one undo step) or as attributes of the element at the caret.
// The page reports the change like any edit, which marks the document
// modified and brings the body into the post before it is saved.
#include "editor/rsseditview.h"

#include "html/linkhtml.h"
#include "htmlui/htmlsurface.h"
#include "htmlui/inserthyperlinkdialog.h"
#include "htmlui/insertimagedialog.h"

#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

// The attributes a dialog does not show stay as they are: a link's class or
// rel, an image's style or title survive an edit of its address.
QMap<QString, QString> merged(const QMap<QString, QString>& current, const AttributeMap& edited,
                              std::initializer_list<const char16_t*> shown) {
    QMap<QString, QString> result = current;
    for (const char16_t* name : shown)
        result.remove(QString::fromUtf16(name));
    for (const auto& [name, value] : edited)
        result.insert(name, value);
    return result;
}

AttributeMap toAttributeMap(const QMap<QString, QString>& map) {
    AttributeMap out;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out.emplace(it.key(), it.value());
    return out;
}

} // namespace

// The keyboard goes back to the post, whatever the dialog's answer was: the
// window is made active again too, as nothing else hands it back where no
// window manager runs.
void CRSSEditView::returnFromDialog() {
    if (QWidget* top = window(); top && !top->isActiveWindow())
        top->activateWindow();
    FocusBody();
}

bool CRSSEditView::readyToInsert() {
    if (m_readOnly || m_serial == 0 || !m_surface->isLoaded())
        return false;
    // The selection made by the keys just typed must be the one acted on.
    return SyncWithPage();
}

void CRSSEditView::OnInsertHyperlink() {
    if (!readyToInsert() || !CanEditLink())
        return;
    const int index = FindCurrentObject(u"a"_s);
    if (index < 0)
        InsertNewLink();
    else
        EditLinkAttributes(index);
}

void CRSSEditView::InsertNewLink() {
    int start = 0;
    int end = 0;
    if (!GetSelectionRange(start, end) || start == end) {
        QStringList objects;
        if (GetCurrentObjects(objects) && objects.size() <= 1)
            return;
    }
    LinkInfo info;
    const bool isImage = FindCurrentObject(u"img"_s) >= 0;
    info.text = isImage ? GetSelectionFragment() : GetSelectionText();
    const bool confirmed =
        InsertHyperlinkDialog::editLink(info, InsertHyperlinkDialog::TextReadOnly, this);
    returnFromDialog();
    if (!confirmed)
        return;
    // The selection, an image included, is replaced by the link around it.
    InsertHtml(BuildLinkHtml(info, isImage));
}

void CRSSEditView::EditLinkAttributes(int index) {
    QMap<QString, QString> current;
    GetCurrentObjectAttributes(index, current);
    LinkInfo info = LinkInfoFromAttributes(toAttributeMap(current));
    info.text = GetLinkRunText();
    const bool confirmed =
        InsertHyperlinkDialog::editLink(info, InsertHyperlinkDialog::TextReadOnly, this);
    returnFromDialog();
    if (!confirmed)
        return;
    SetCurrentObjectAttributes(
        index, merged(current, LinkAttributes(info), {u"href", u"title", u"target"}));
    FocusBody();
}

void CRSSEditView::OnInsertImage() {
    if (!readyToInsert())
        return;
    const int index = FindCurrentObject(u"img"_s);
    if (index < 0)
        InsertNewImage();
    else
        EditImageAttributes(index);
}

void CRSSEditView::InsertNewImage() {
    InsertImageDialog dialog(ImageInfo(), this);
    const bool confirmed = dialog.run() != HtmlDialog::ResultCancel;
    returnFromDialog();
    if (!confirmed)
        return;
    InsertHtml(dialog.imageTag());
    FocusBody();
}

void CRSSEditView::EditImageAttributes(int index) {
    QMap<QString, QString> current;
    if (!GetCurrentObjectAttributes(index, current))
        return;
    InsertImageDialog dialog(ImageInfoFromAttributes(toAttributeMap(current)), this,
                             InsertImageDialog::EditImage);
    const bool confirmed = dialog.run() != HtmlDialog::ResultCancel;
    returnFromDialog();
    if (!confirmed)
        return;
    SetCurrentObjectAttributes(index, merged(current, ImageAttributes(dialog.imageInfo()),
                                             {u"src", u"alt", u"align", u"border", u"width",
                                              u"height", u"vspace", u"hspace"}));
    FocusBody();
}
