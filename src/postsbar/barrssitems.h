// The posts bar of a document window: the feed's posts with icons and dates,
// sorted, filtered by title and renamed in place. Selecting a row tells the
// document which post to show.
#pragma once

#include "document/documentlistener.h"
#include "document/postlistorder.h"

#include <QDockWidget>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

class CRSSEditDoc;
class CRssFeed;
class PostsListModel;
class PostsListView;
class QItemSelection;
class QMenu;
class UiServices;

class CBarRssItems final : public QDockWidget, public DocumentListener {
    Q_OBJECT
public:
    // The document and the desktop services are not owned; the bar fills its
    // list from the document's feed at once.
    CBarRssItems(CRSSEditDoc* doc, UiServices* ui, QWidget* parent = nullptr);
    ~CBarRssItems() override;

    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) override;

    // Copy Title and Copy Post As XML; false for every other id.
    bool handleCommand(int id);
    bool commandStatus(int id, bool* enabled, bool* checked);

    PostsListView* ListView() const { return m_list; }
    PostsListModel* Model() const { return m_model; }
    // The filter box while filtering is on, else null.
    QLineEdit* FilterBox() const { return m_filterBox; }
    const PostListOrder& Order() const { return m_order; }
    // The post shown in the marked row, or -1.
    int MarkedPost() const;

signals:
    // A command chosen in one of the bar's popup menus, for the frame to route.
    // While nobody listens the bar runs it itself or hands it to the document.
    void frameCommand(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- List ----------------------------------------------------------------
    void FillList();
    void RebuildAndSort();
    void MarkRow(int row, bool select);
    // A row marked for a selection made elsewhere, shown without the highlight.
    void MarkRowQuietly(int row);
    void OnSelectionChanged(const QItemSelection& selected);
    void OnSelectionTimer();
    void Announce(int post);
    void OnTitleRenamed(int post);
    void OnSelectPost(int post);
    void OnPostsInserted();
    void OnPostDeleted();
    void OnSortChanged();
    void OnFeedLoaded();
    void StartRename();
    void SortByColumn(int column);
    void UpdateCaption();
    void LayoutColumns();
    void UpdateSortIndicator();

    // --- Popup menus ------------------------------------------------------------
    void ShowMenu(const QPoint& globalPos, bool headerOnly);
    void RunCommand(int id);
    void AddCommand(QMenu* menu, int id);

    // --- Filter (barrssitemsfilter.cpp) ----------------------------------------
    void ToggleFilterBox();
    void OnFilterTextChanged();
    void OnFilterTimer();
    // Lists the posts whose title holds the box's text; storeFirst lets the
    // editor commit its edits first, announce shows the first match.
    void ApplyFilter(bool storeFirst, bool announce);
    void UpdateFilterColour();

    CRSSEditDoc* m_doc;
    CRssFeed* m_feed;
    UiServices* m_ui;

    QPointer<QLineEdit> m_filterBox;
    QElapsedTimer m_filterChanged;
    QTimer m_filterTimer;
    bool m_noMatchShown = false;

    PostListOrder m_order;
    int m_currentRow = -1;
    int m_previousRow = -1;
    // The first selection after creation is announced without delay.
    bool m_announceAtOnce = true;
    // Set while the bar marks a row itself for a post selected elsewhere.
    bool m_markingQuietly = false;
    QTimer m_selectionTimer;

    PostsListModel* m_model;
    PostsListView* m_list;
};
