// The start page: what the main window shows while no feed is open, with a
// link to create a feed, the recent feeds and the product's web pages.
#pragma once

#include "htmlui/htmlsurface.h"

#include <QStringList>

class UiServices;

// What the list shows for a recent file: its name alone when it lies in
// currentDir, its path with the home folder as "~" and long middles cut out
// otherwise.
QString RecentFileDisplayName(const QString& path, const QString& currentDir);
// The markup that stands between the recent-file markers, every path and name
// escaped so no file name can break or add to the page.
QString BuildRecentFileMarkup(const QStringList& paths, const QString& currentDir);
// The page text with table borders off, the web addresses filled in and the
// recent-file markup between the markers (when there is any).
QString PrepareStartPageText(const QString& pageText, const QString& recentMarkup);

enum class StartPageLink { OpenInBrowser, CreateNewFeed, OpenRecentFile, NotHandled };
// What a click on a link with this href does; path receives the file of a
// recent-file link.
StartPageLink ClassifyStartPageLink(const QString& href, QString* path = nullptr);

class CStartPage final : public HtmlSurface {
    Q_OBJECT
public:
    explicit CStartPage(UiServices* ui, QWidget* parent = nullptr);

    // Builds the page from the resource with the given recent files; later
    // calls only renew the list.
    void reload(const QStringList& recentFiles);
    // The text loaded last (for the window's tests).
    const QString& pageText() const { return m_pageText; }

signals:
    void newFeedRequested();
    void openFileRequested(const QString& path);
    // The status bar message while the mouse is over a web link; empty when it left.
    void statusTextChanged(const QString& text);

protected:
    bool handleEvent(const HtmlEvent& event) override;
    void openExternalUrl(const QUrl& url) override;

private:
    UiServices* m_ui;
    QString m_pageText;
    bool m_loadStarted = false;
};
