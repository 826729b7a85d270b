#include "app/standinview.h"

#include "document/rsseditdoc.h"
#include "platform/commandids.h"

using namespace Qt::StringLiterals;

CStandInView::CStandInView(CRSSEditDoc* doc, QWidget* parent) : QTextBrowser(parent), m_doc(doc) {
    setObjectName(u"postView"_s);
    setOpenLinks(false);
    showPost(doc->GetCurrentPost());
}

void CStandInView::OnUpdate(DocumentListener*, DocHint hint, const HintParam& param) {
    switch (hint) {
    case HintSelectPost:
        showPost(param.post);
        break;
    case HintPostsInserted:
    case HintFeedLoaded:
    case HintPostDeleted:
    case HintTitleChanged:
    case HintSetDescription:
        showPost(m_doc->GetCurrentPost());
        break;
    default:
        break;
    }
}

void CStandInView::showPost(int post) {
    const CRssFeed& feed = m_doc->GetFeed();
    if (post < 0 || post >= feed.GetPostCount()) {
        clear();
        return;
    }
    setHtml(u"<h2>"_s + feed.GetTitle(post).toHtmlEscaped() + u"</h2>"_s +
            feed.GetDescription(post));
}

bool CStandInView::handleCommand(int id) {
    switch (id) {
    case ID_EDIT_COPY:
        copy();
        return true;
    case ID_EDIT_SELECT_ALL:
        selectAll();
        return true;
    default:
        return false;
    }
}

bool CStandInView::commandStatus(int id, bool* enabled, bool* checked) const {
    *checked = false;
    switch (id) {
    case ID_EDIT_COPY:
        *enabled = textCursor().hasSelection();
        return true;
    case ID_EDIT_SELECT_ALL:
        *enabled = true;
        return true;
    default:
        return false;
    }
}
