#include "barrssitems.h"

#include "document/rsseditdoc.h"
#include "platform/commandids.h"
#include "platform/uiservices.h"
#include "postsbarcommands.h"
#include "postsitemdelegate.h"
#include "postslistmodel.h"
#include "postslistview.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CBarRssItems::CBarRssItems(CRSSEditDoc* doc, UiServices* ui, QWidget* parent)
    : QDockWidget(parent), m_doc(doc), m_feed(doc ? &doc->GetFeed() : nullptr), m_ui(ui),
      m_model(new PostsListModel(m_feed, &m_order, this)), m_list(new PostsListView) {
    setObjectName(u"postsBar"_s);
    setAllowedAreas(Qt::LeftDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->setSpacing(0);
    layout->addWidget(m_list);
    setWidget(body);

    m_list->setModel(m_model);
    m_list->SetEmptyText(u"RSS Items"_s);
    m_list->setFont(QApplication::font("QDockWidgetTitle"));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setMinimumSectionSize(40);

    m_selectionTimer.setInterval(250);
    connect(&m_selectionTimer, &QTimer::timeout, this, &CBarRssItems::OnSelectionTimer);
    m_filterTimer.setInterval(1000);
    connect(&m_filterTimer, &QTimer::timeout, this, &CBarRssItems::OnFilterTimer);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) { OnSelectionChanged(selected); });
    connect(m_model, &PostsListModel::titleRenamed, this, &CBarRssItems::OnTitleRenamed);
    connect(m_list, &PostsListView::goToEditor, this,
            [this] { m_doc->NotifyViews(this, HintFocusEditor, 0); });
    connect(m_list, &PostsListView::listMenuRequested, this,
            [this](const QPoint& pos) { ShowMenu(pos, false); });
    connect(m_list, &PostsListView::headerMenuRequested, this,
            [this](const QPoint& pos) { ShowMenu(pos, true); });
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &CBarRssItems::SortByColumn);
    connect(m_list->header(), &QHeaderView::sectionResized, this, [this](int section, int, int) {
        if (section == 0 && !m_list->header()->signalsBlocked())
            LayoutColumns();
    });
    // The bar is usually filled before it is shown, so the widths follow every
    // change of the rows' area, the first showing included.
    connect(m_list, &PostsListView::viewportResized, this, &CBarRssItems::LayoutColumns);

    FillList();
}

CBarRssItems::~CBarRssItems() = default;

int CBarRssItems::MarkedPost() const {
    return m_model->PostOfRow(m_list->MarkedRow());
}

// --- Filling and marking --------------------------------------------------------

void CBarRssItems::FillList() {
    if (!m_feed) {
        m_order.Clear();
        m_model->Refill();
        m_currentRow = -1;
        UpdateCaption();
        return;
    }
    if (m_order.IsEmpty() && !m_filterBox) {
        m_order.Reset(m_feed->GetPostCount());
        m_order.Sort(*m_feed, m_doc->GetSortMode());
    }
    m_model->Refill();
    if (m_model->rowCount() > 0)
        MarkRow(0, true);
    LayoutColumns();
    UpdateCaption();
    UpdateFilterColour();
}

void CBarRssItems::RebuildAndSort() {
    m_order.Reset(m_feed ? m_feed->GetPostCount() : 0);
    if (m_feed)
        m_order.Sort(*m_feed, m_doc->GetSortMode());
}

void CBarRssItems::MarkRow(int row, bool select) {
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(index, select ? QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows
                                                            : QItemSelectionModel::NoUpdate);
    m_list->scrollTo(index);
}

void CBarRssItems::MarkRowQuietly(int row) {
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_markingQuietly = true;
    const QModelIndex index = m_model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::Clear);
    m_list->scrollTo(index);
    m_markingQuietly = false;
    m_list->viewport()->update();
}

void CBarRssItems::OnSelectionChanged(const QItemSelection& selected) {
    if (m_markingQuietly || selected.isEmpty())
        return;
    const int mark = m_list->MarkedRow();
    int row = -1;
    for (const QItemSelectionRange& range : selected) {
        if (mark >= range.top() && mark <= range.bottom())
            row = mark;
    }
    if (row < 0)
        row = selected.last().bottom();
    if (m_previousRow >= 0)
        m_model->RefreshRow(m_previousRow);
    m_previousRow = m_currentRow;
    m_currentRow = row;
    if (m_announceAtOnce) {
        m_announceAtOnce = false;
        Announce(m_order.Entry(row));
    } else {
        m_selectionTimer.start();
    }
}

void CBarRssItems::OnSelectionTimer() {
    m_selectionTimer.stop();
    if (m_list->MarkedRow() == m_currentRow)
        Announce(m_order.Entry(m_currentRow));
    if (m_previousRow >= 0)
        m_model->RefreshRow(m_previousRow);
}

void CBarRssItems::Announce(int post) {
    if (m_doc && m_feed && post >= 0 && post < m_feed->GetPostCount())
        m_doc->NotifyViews(this, HintSelectPost, post);
}

// --- Notifications --------------------------------------------------------------

void CBarRssItems::onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) {
    // The bar's own notices never come back to it.
    if (sender == this)
        return;
    switch (hint) {
    case HintSelectPost:
        OnSelectPost(param.post);
        break;
    case HintPostsInserted:
        OnPostsInserted();
        break;
    case HintRenamePost:
        StartRename();
        break;
    case HintTitleChanged:
    case HintLinkOrAuthorChanged:
        m_model->RefreshRow(m_list->MarkedRow());
        break;
    case HintPostDeleted:
        OnPostDeleted();
        break;
    case HintFeedLoaded:
        OnFeedLoaded();
        break;
    case HintSortChanged:
        OnSortChanged();
        break;
    case HintToggleFilter:
        ToggleFilterBox();
        break;
    default:
        break;
    }
}

void CBarRssItems::OnSelectPost(int post) {
    const int row = m_order.FindRow(post);
    if (row < 0 || row == m_list->MarkedRow())
        return;
    MarkRowQuietly(row);
}

void CBarRssItems::OnPostsInserted() {
    RebuildAndSort();
    m_model->Refill();
    const int row = m_order.FindRow(m_doc->GetCurrentPost());
    MarkRow(row, true);
    UpdateCaption();
    LayoutColumns();
    m_list->setFocus();
    if (row >= 0)
        m_list->edit(m_model->index(row, 0));
}

void CBarRssItems::OnPostDeleted() {
    if (m_filterBox) {
        // The editor's edits belonged to the removed post: nothing is stored first.
        ApplyFilter(false, false);
        return;
    }
    const int oldMark = m_list->MarkedRow();
    RebuildAndSort();
    m_model->Refill();
    if (oldMark >= 0 && oldMark < m_model->rowCount())
        MarkRow(oldMark, true);
    UpdateCaption();
}

void CBarRssItems::OnFeedLoaded() {
    // The tree was replaced: rows of the old load no longer mean anything.
    m_selectionTimer.stop();
    m_currentRow = -1;
    m_previousRow = -1;
    if (m_filterBox) {
        ApplyFilter(false, false);
        return;
    }
    m_order.Clear();
    FillList();
}

void CBarRssItems::OnSortChanged() {
    if (!m_feed)
        return;
    const int remembered = MarkedPost();
    m_order.Sort(*m_feed, m_doc->GetSortMode());
    FillList();
    const int row = m_order.FindRow(remembered);
    if (row >= 0)
        MarkRow(row, true);
    UpdateSortIndicator();
}

void CBarRssItems::SortByColumn(int column) {
    if (!m_doc)
        return;
    m_doc->SetSortMode(column == 0 ? PostSortMode::ByTitle : PostSortMode::ByDate);
    m_doc->NotifyViews(nullptr, HintSortChanged, 0);
    UpdateSortIndicator();
}

void CBarRssItems::UpdateSortIndicator() {
    QHeaderView* header = m_list->header();
    switch (m_doc ? m_doc->GetSortMode() : PostSortMode::ByPosition) {
    case PostSortMode::ByTitle:
        header->setSortIndicatorShown(true);
        header->setSortIndicator(0, Qt::AscendingOrder);
        break;
    case PostSortMode::ByDate:
        header->setSortIndicatorShown(true);
        header->setSortIndicator(1, Qt::DescendingOrder);
        break;
    case PostSortMode::ByPosition:
        header->setSortIndicatorShown(false);
        break;
    }
}

void CBarRssItems::StartRename() {
    const int row = m_list->MarkedRow();
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, 0);
    m_list->scrollTo(index);
    m_list->setFocus();
    m_list->edit(index);
}

void CBarRssItems::OnTitleRenamed(int post) {
    m_doc->SetModifiedFlag(true);
    // Told once the editor box has closed, as the list would have it.
    QMetaObject::invokeMethod(
        this,
        [this, post] {
            m_doc->SetModifiedFlag(true);
            m_doc->NotifyViews(this, HintTitleChanged, post);
        },
        Qt::QueuedConnection);
}

void CBarRssItems::UpdateCaption() {
    setWindowTitle(u"RSS Items [%1]"_s.arg(m_feed ? m_feed->GetPostCount() : 0));
}

void CBarRssItems::LayoutColumns() {
    QHeaderView* header = m_list->header();
    const bool blocked = header->blockSignals(true);
    m_list->resizeColumnToContents(1);
    const int dateWidth = header->sectionSize(1);
    const int available = m_list->viewport()->width();
    // Titles get what the date leaves; long titles are cut rather than the date.
    header->resizeSection(0, std::max(available - dateWidth, header->minimumSectionSize()));
    header->blockSignals(blocked);
}

// --- Commands ---------------------------------------------------------------------

bool CBarRssItems::commandStatus(int id, bool* enabled, bool* checked) {
    if (id != ID_POST_COPY_TITLE && id != ID_POST_COPY_AS_XML)
        return false;
    const int post = MarkedPost();
    bool on = m_model->rowCount() > 0 && post >= 0;
    if (on && id == ID_POST_COPY_AS_XML)
        on = !m_feed->GetDescriptionXml(post).isEmpty();
    if (enabled)
        *enabled = on;
    if (checked)
        *checked = false;
    return true;
}

bool CBarRssItems::handleCommand(int id) {
    bool enabled = false;
    if (!commandStatus(id, &enabled, nullptr))
        return false;
    QString text;
    if (enabled && id == ID_POST_COPY_TITLE) {
        text = m_feed->GetTitle(MarkedPost());
    } else if (enabled) {
        const int current = m_doc->GetCurrentPost();
        text = m_feed->GetDescriptionXml(current >= 0 ? current : MarkedPost());
    }
    if (text.isEmpty() || !m_ui || !m_ui->PutClipboardText(text)) {
        if (m_ui)
            m_ui->Beep();
    }
    return true;
}

void CBarRssItems::RunCommand(int id) {
    if (isSignalConnected(QMetaMethod::fromSignal(&CBarRssItems::frameCommand))) {
        emit frameCommand(id);
        return;
    }
    if (!handleCommand(id) && m_doc)
        m_doc->OnCommand(id);
}

void CBarRssItems::AddCommand(QMenu* menu, int id) {
    QAction* action = menu->addAction(PostsBarCommandText(id));
    action->setData(id);
    bool enabled = true;
    bool checked = false;
    if (!commandStatus(id, &enabled, &checked) && m_doc && CRSSEditDoc::HandlesCommand(id)) {
        enabled = m_doc->IsCommandEnabled(id);
        checked = m_doc->IsCommandChecked(id);
    }
    action->setEnabled(enabled);
    if (id == ID_SORT_BY_POSITION || id == ID_SORT_BY_TITLE || id == ID_SORT_BY_DATE ||
        id == ID_POST_FILTERING) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
}

void CBarRssItems::ShowMenu(const QPoint& globalPos, bool headerOnly) {
    QMenu menu(this);
    menu.setObjectName(headerOnly ? u"postsHeaderMenu"_s : u"postsMenu"_s);
    if (!headerOnly) {
        for (int id : {ID_POST_ADD, ID_POST_RENAME, ID_POST_DUPLICATE, ID_POST_DUPLICATE_DELETE,
                       ID_POST_DELETE})
            AddCommand(&menu, id);
        menu.addSeparator();
        AddCommand(&menu, ID_POST_BACK);
        AddCommand(&menu, ID_POST_FORWARD);
        menu.addSeparator();
    }
    for (int id : {ID_SORT_BY_POSITION, ID_SORT_BY_TITLE, ID_SORT_BY_DATE})
        AddCommand(&menu, id);
    if (!headerOnly) {
        menu.addSeparator();
        AddCommand(&menu, ID_POST_FILTERING);
    }
    menu.addSeparator();
    AddCommand(&menu, ID_POST_COPY_TITLE);
    AddCommand(&menu, ID_POST_COPY_AS_XML);
    if (QAction* chosen = menu.exec(globalPos))
        RunCommand(chosen->data().toInt());
}
