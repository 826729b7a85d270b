// The title of the web page at a URL: download the page's first bytes, find
// its character set, read its title element. Used on one worker thread.
#pragma once

#include "web/httpdownload.h"

#include <QString>

#include <memory>

class QTemporaryFile;

class CFetchTitleFromURL final {
public:
    // A page is cut at the first read that brings it to this many bytes or more.
    static constexpr quint32 PageByteCap = 20000;

    CFetchTitleFromURL(const QString& url, const QString& agent);
    ~CFetchTitleFromURL();
    CFetchTitleFromURL(const CFetchTitleFromURL&) = delete;
    CFetchTitleFromURL& operator=(const CFetchTitleFromURL&) = delete;

    // Fetches on first use; empty when the page gave no title (a later call tries again).
    QString GetTitle();
    // Why the last fetch gave no title, in a few words.
    QString failureReason() const { return m_failure; }

    // Stores the site's /favicon.ico in the icon folder; true when stored.
    bool fetchSiteIcon(const QString& pageUrl, const QString& agent);
    QString siteAddress() const { return m_siteAddress; }
    QString iconFile() const { return m_iconFile; }

    void setLimits(const NetworkLimits& limits) { m_limits = limits; }

private:
    enum State { Found = 0, Pending = 1, NoUrl = 2 };

    void fetch();
    bool downloadVariant(const QString& url);

    QString m_url;
    QString m_agent;
    State m_state;
    NetworkLimits m_limits;
    std::unique_ptr<QTemporaryFile> m_pageFile;
    QString m_title;
    QString m_failure;
    QString m_siteAddress;
    QString m_iconFile;
};

// The URL up to the first "/" after "://"; the whole URL without such "/"; empty without "://".
QString siteOf(const QString& url);
// The folder the site icons are kept in; empty when there is no data folder.
QString iconFolder();
// The icon file of a site: its address without ":" and "/", then ".ico".
QString iconFileOf(const QString& site);
