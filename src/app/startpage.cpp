#include "app/startpage.h"

#include "platform/uiservices.h"

#include <buildconfig.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString kMruStart = u"<!--START_MRU-->"_s;
const QString kMruEnd = u"<!--END_MRU-->"_s;
const QString kOpenRecentPrefix = u"#open_mru_doc#"_s;
// Longer paths lose folders from their middle, as the recent-file menu does.
constexpr qsizetype kMaxDisplayLength = 48;

QString SiteRoot() {
    const QUrl home(QStringLiteral(ORVAN_URL_HOME));
    return home.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

} // namespace

QString RecentFileDisplayName(const QString& path, const QString& currentDir) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty())
        return path;
    if (!currentDir.isEmpty() &&
        QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(currentDir))
        return name;

    QString shown = QDir::cleanPath(path);
    const QString home = QDir::homePath();
    if (shown.startsWith(home + u'/'))
        shown = u'~' + shown.mid(home.size());
    if (shown.size() <= kMaxDisplayLength)
        return shown;

    // Keep the first folder and as many trailing parts as fit, at least the name.
    const QStringList parts = shown.split(u'/');
    const QString head = parts.first().isEmpty() ? u"/"_s + parts.value(1) : parts.first();
    const qsizetype firstTail = parts.first().isEmpty() ? 2 : 1;
    QString tail = name;
    for (qsizetype i = parts.size() - 2; i >= firstTail; --i) {
        const QString candidate = parts[i] + u'/' + tail;
        if (head.size() + 3 + candidate.size() > kMaxDisplayLength)
            break;
        tail = candidate;
    }
    return head + u"/\u2026/"_s + tail;
}

QString BuildRecentFileMarkup(const QStringList& paths, const QString& currentDir) {
    QString markup;
    for (const QString& path : paths) {
        if (path.isEmpty())
            break;
        QString display = RecentFileDisplayName(path, currentDir);
        if (display.isEmpty())
            display = QFileInfo(path).fileName();
        const QString escapedPath = path.toHtmlEscaped();
        markup += u"&nbsp;&bull;&nbsp;"_s;
        markup += u"<A HREF=\""_s + kOpenRecentPrefix + escapedPath + u'"';
        markup += u" TITLE=\""_s + escapedPath + u"\">"_s;
        markup += display.toHtmlEscaped();
        markup += u"</A>"_s;
        markup += u"<BR>"_s;
    }
    return markup;
}

QString PrepareStartPageText(const QString& pageText, const QString& recentMarkup) {
    QString text = pageText;
    text.replace(u"BORDER=1"_s, u"BORDER=0"_s);
    text.replace(u"%PAGE_CSP%"_s, QStringLiteral(HTMLUI_PAGE_CSP));
    text.replace(u"%URL_HOME%"_s, QStringLiteral(ORVAN_URL_HOME));
    text.replace(u"%URL_SUPPORT%"_s, QStringLiteral(ORVAN_URL_SUPPORT));
    text.replace(u"%URL_FORUM%"_s, QStringLiteral(ORVAN_URL_FORUM));
    text.replace(u"%URL_NEWS_FEED%"_s, QStringLiteral(ORVAN_URL_NEWS_FEED));
    text.replace(u"%URL_SITE%"_s, SiteRoot());
    if (recentMarkup.isEmpty())
        return text;
    const qsizetype start = text.indexOf(kMruStart);
    if (start < 0)
        return text;
    const qsizetype end = text.indexOf(kMruEnd, start + kMruStart.size());
    if (end < 0)
        return text;
    text.replace(start, end + kMruEnd.size() - start, recentMarkup);
    return text;
}

StartPageLink ClassifyStartPageLink(const QString& href, QString* path) {
    // Any web address leaves for the browser, so the page never navigates away.
    if (href.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
        href.startsWith(u"https://"_s, Qt::CaseInsensitive))
        return StartPageLink::OpenInBrowser;
    if (href.compare(u"#create_new_doc"_s, Qt::CaseInsensitive) == 0)
        return StartPageLink::CreateNewFeed;
    if (href.startsWith(kOpenRecentPrefix, Qt::CaseInsensitive)) {
        if (path)
            *path = href.mid(kOpenRecentPrefix.size());
        return StartPageLink::OpenRecentFile;
    }
    return StartPageLink::NotHandled;
}

CStartPage::CStartPage(UiServices* ui, QWidget* parent) : HtmlSurface(parent), m_ui(ui) {
    setObjectName(u"startPage"_s);
}

void CStartPage::reload(const QStringList& recentFiles) {
    const QString markup = BuildRecentFileMarkup(recentFiles, QDir::currentPath());
    QFile file(u":/app/startpage.html"_s);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_pageText = PrepareStartPageText(QString::fromUtf8(file.readAll()), markup);
    // Once the page is there only its list changes; a new navigation would
    // flash the page and lose its scroll position.
    if (m_loadStarted) {
        element(u"div.mru"_s).setHtml(markup);
        return;
    }
    m_loadStarted = true;
    loadHtml(m_pageText.toUtf8(), QUrl(u"qrc:/app/startpage.html"_s));
}

bool CStartPage::handleEvent(const HtmlEvent& event) {
    if (event.code == HTML_UI_STATE_CHANGED && event.behaviour == u"startpage"_s) {
        emit statusTextChanged(event.value.toText());
        return true;
    }
    if (event.code != HTML_HYPERLINK_CLICK)
        return false;
    const QString href = event.value.toText();
    QString path;
    switch (ClassifyStartPageLink(href, &path)) {
    case StartPageLink::OpenInBrowser:
        openExternalUrl(QUrl(href));
        return true;
    case StartPageLink::CreateNewFeed:
        emit newFeedRequested();
        return true;
    case StartPageLink::OpenRecentFile:
        emit openFileRequested(path);
        return true;
    case StartPageLink::NotHandled:
        break;
    }
    return false;
}

void CStartPage::openExternalUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http"_s && scheme != u"https"_s) {
        HtmlSurface::openExternalUrl(url);
        return;
    }
    if (m_ui)
        m_ui->OpenUrl(url.toString());
}
