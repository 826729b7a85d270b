#include "rsspost.h"

#include "rssfeed.h"

namespace {

DescriptionFilter& FilterSlot() {
    static DescriptionFilter filter;
    return filter;
}

} // namespace

void SetDescriptionFilter(DescriptionFilter filter) {
    FilterSlot() = std::move(filter);
}

const DescriptionFilter& GetDescriptionFilter() {
    return FilterSlot();
}

QString CRssPost::GetAuthor() const {
    return m_feed->GetAuthor(m_index);
}
QString CRssPost::GetDescription() const {
    return m_feed->GetDescription(m_index);
}
QString CRssPost::GetLink() const {
    return m_feed->GetLink(m_index);
}
QString CRssPost::GetTitle() const {
    return m_feed->GetTitle(m_index);
}
QString CRssPost::GetPubDate() const {
    return m_feed->GetPubDate(m_index);
}
bool CRssPost::SetAuthor(const QString& text) {
    return m_feed->SetAuthor(m_index, text);
}
bool CRssPost::SetLink(const QString& text) {
    return m_feed->SetLink(m_index, text);
}
bool CRssPost::SetTitle(const QString& text) {
    return m_feed->SetTitle(m_index, text);
}

bool CRssPost::SetDescription(const QString& text) {
    const DescriptionFilter& filter = GetDescriptionFilter();
    return m_feed->SetDescription(m_index, filter ? filter(text, 0) : text);
}
