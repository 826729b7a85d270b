#include "htmlpreviewbar.h"

#include "document/rsseditdoc.h"
#include "htmlcodeedit.h"
#include "platform/previewbarvisible.h"

#include <QCloseEvent>

using namespace Qt::StringLiterals;

namespace {
// The editor's changes are shown once it has been quiet this long.
constexpr qint64 RefreshQuietMs = 900;
} // namespace

CHtmlPreviewBar::CHtmlPreviewBar(CRSSEditDoc* doc, UiServices* ui, QWidget* parent)
    : QDockWidget(u"Preview"_s, parent), m_doc(doc), m_edit(new CHtmlCodeEdit(ui, this)) {
    setObjectName(u"previewBar"_s);
    setAllowedAreas(Qt::BottomDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setWidget(m_edit);
    m_refreshTimer.setInterval(700);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CHtmlPreviewBar::OnRefreshTimer);
    connect(m_edit, &CHtmlCodeEdit::userChanged, this, &CHtmlPreviewBar::OnUserChanged);
}

CHtmlPreviewBar::~CHtmlPreviewBar() = default;

void CHtmlPreviewBar::onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) {
    if (sender == this)
        return;
    if (hint == HintSelectPost) {
        m_refreshTimer.stop();
        m_pending.clear();
        ShowPost(param.post);
    } else if (hint == HintSetDescription) {
        m_pending = param.text;
        m_pendingSince.start();
        m_refreshTimer.start();
    }
}

void CHtmlPreviewBar::ShowPost(int post) {
    const CRssFeed* feed = m_doc ? &m_doc->GetFeed() : nullptr;
    m_edit->ShowText(feed ? feed->GetDescription(post) : QString());
}

void CHtmlPreviewBar::OnRefreshTimer() {
    if (m_pendingSince.elapsed() <= RefreshQuietMs)
        return;
    m_refreshTimer.stop();
    m_edit->UpdateText(m_pending);
    m_pending.clear();
}

void CHtmlPreviewBar::OnUserChanged(const QString& text) {
    if (!m_doc)
        return;
    m_doc->SetModifiedFlag(true);
    m_doc->NotifyViews(this, HintSetDescription, text);
}

bool CHtmlPreviewBar::handleCommand(int id) {
    return m_edit->handleCommand(id);
}

bool CHtmlPreviewBar::commandStatus(int id, bool* enabled, bool* checked) {
    return m_edit->commandStatus(id, enabled, checked);
}

bool CHtmlPreviewBar::HasEditFocus() const {
    return m_edit->hasFocus();
}

void CHtmlPreviewBar::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    if (event->isAccepted())
        PreviewBarVisible::SetAndStore(0);
}
