// A reference to one post: the feed (not owned) and the post's index.
#pragma once

#include <QString>
#include <functional>

class CRssFeed;

// Process-wide hook applied by CRssPost::SetDescription to every description
// it stores; empty until start-up installs the post footer.
using DescriptionFilter = std::function<QString(const QString& text, int context)>;
void SetDescriptionFilter(DescriptionFilter filter);
const DescriptionFilter& GetDescriptionFilter();

class CRssPost {
public:
    // Made by CRssFeed::MakePost only for an index within range; it must not
    // outlive the feed.
    CRssPost(CRssFeed* feed, int index) : m_feed(feed), m_index(index) {}
    virtual ~CRssPost() = default;
    CRssPost(const CRssPost&) = default;
    CRssPost& operator=(const CRssPost&) = default;

    virtual QString GetAuthor() const;
    virtual QString GetDescription() const;
    virtual QString GetLink() const;
    virtual QString GetTitle() const;
    // Always empty: no element is read.
    virtual QString GetEmpty() const { return QString(); }
    virtual QString GetPubDate() const;
    virtual bool SetAuthor(const QString& text);
    // Passes the text through the description filter first, when one is set.
    virtual bool SetDescription(const QString& text);
    virtual bool SetLink(const QString& text);
    virtual bool SetTitle(const QString& text);
    // Always 0; changes nothing.
    virtual int Reserved() const { return 0; }

    int GetIndex() const { return m_index; }
    CRssFeed* GetFeed() const { return m_feed; }

private:
    CRssFeed* m_feed;
    int m_index;
};
