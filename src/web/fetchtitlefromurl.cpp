#include "web/fetchtitlefromurl.h"

#include "platform/folders.h"
#include "web/charsetcodepages.h"
#include "web/markuptokenizer.h"
#include "web/titletext.h"

#include <QDir>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace {

bool continueBelowCap(quint32 received, quint32, quintptr) {
    return received < CFetchTitleFromURL::PageByteCap;
}

} // namespace

CFetchTitleFromURL::CFetchTitleFromURL(const QString& url, const QString& agent)
    : m_url(url), m_agent(agent), m_state(url.isEmpty() ? NoUrl : Pending) {}

CFetchTitleFromURL::~CFetchTitleFromURL() = default;

QString CFetchTitleFromURL::GetTitle() {
    if (m_state == Pending)
        fetch();
    return m_state == Found ? m_title : QString();
}

bool CFetchTitleFromURL::downloadVariant(const QString& url) {
    // A unique name per attempt; the file goes with the object that made it.
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + u"/abcdXXXXXX.htm"_s);
    if (!file->open()) {
        m_failure = u"cannot create a temporary file"_s;
        return false;
    }
    file->close();
    DownloadOptions options;
    options.agent = m_agent;
    options.progress = continueBelowCap;
    options.failOnAbort = false;
    options.limits = m_limits;
    DownloadFailure failure;
    const bool ok = downloadToFile(url, file->fileName(), options, &failure);
    m_pageFile = std::move(file);
    if (!ok)
        m_failure = failure.describe();
    return ok;
}

void CFetchTitleFromURL::fetch() {
    m_title.clear();
    m_failure.clear();
    // An https address is tried as given first; plain http only when that fails.
    QStringList variants{m_url};
    const QString secure = u"https://"_s;
    if (m_url.size() > secure.size() && m_url.startsWith(secure, Qt::CaseInsensitive))
        variants.append(u"http://"_s + m_url.mid(secure.size()));
    QString pageUrl;
    for (const QString& variant : variants) {
        if (downloadVariant(variant)) {
            pageUrl = variant;
            break;
        }
    }
    if (pageUrl.isEmpty())
        return;
    fetchSiteIcon(pageUrl, m_agent);

    UrlHeaderInfo probe(pageUrl);
    probe.limits = m_limits;
    probe.query();
    const QString charset = probe.charset();
    const int codePage = charset.isEmpty() ? 0 : charsetToCodePage(charset);
    const QByteArray page = pageToUtf8(m_pageFile->fileName(), codePage);
    m_pageFile.reset();
    if (page.isEmpty()) {
        if (codePage < 0)
            m_failure = u"unknown charset \"%1\""_s.arg(charset);
        else if (codePage == 0)
            m_failure = u"character set not recognised"_s;
        else
            m_failure = u"the page could not be converted from code page %1"_s.arg(codePage);
        return;
    }
    QString text;
    if (!findElementText(page.constData(), page.size(), u"title"_s, text)) {
        m_failure = u"no title element"_s;
        return;
    }
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    m_title = cleanTitle(text);
    if (m_title.isEmpty()) {
        m_failure = u"empty title"_s;
        return;
    }
    m_state = Found;
}

bool CFetchTitleFromURL::fetchSiteIcon(const QString& pageUrl, const QString& agent) {
    const QString site = siteOf(pageUrl);
    const QString folder = iconFolder();
    if (site.isEmpty() || folder.isEmpty())
        return false;
    EnsureFolder(folder);
    const QString file = folder + u'/' + iconFileOf(site);
    QFile::remove(file);
    DownloadOptions options;
    options.agent = agent;
    options.failOnAbort = true;
    // An icon is a few kilobytes; a server sending more is not sending an icon.
    options.maxBytes = 1024 * 1024;
    options.limits = m_limits;
    if (!downloadToFile(site + u"/favicon.ico"_s, file, options)) {
        // A cut or failed transfer leaves part of an icon, which is no icon.
        QFile::remove(file);
        return false;
    }
    m_siteAddress = site;
    m_iconFile = file;
    return true;
}

QString siteOf(const QString& url) {
    const qsizetype mark = url.indexOf(u"://");
    if (mark < 0)
        return QString();
    const qsizetype slash = url.indexOf(u'/', mark + 3);
    return slash < 0 ? url : url.left(slash);
}

QString iconFolder() {
    const QString data = UserDataFolder();
    return data.isEmpty() ? QString() : data + u"/_Halvex"_s;
}

QString iconFileOf(const QString& site) {
    QString name = site;
    name.remove(u':');
    name.remove(u'/');
    return name + u".ico"_s;
}
