// Arbitrary bytes into the feed loader, then every way the tree is read and
// printed. A tree that loaded must print to bytes that load again.
#include "feed/rssfeed.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CRssFeed feed;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    if (!feed.LoadFromMemory(bytes, &error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray printed = feed.PrintToText();
    const QByteArray saved = feed.SaveToMemory();
    for (int i = 0; i < feed.GetPostCount() && i < 4; ++i) {
        (void)feed.GetTitle(i);
        (void)feed.GetDescriptionText(i);
        (void)feed.GetDescriptionXml(i);
    }
    (void)feed.SortedIndices(PostOrder::ByDate);
    (void)feed.SortedIndices(PostOrder::ByTitle);
    CRssFeed reloaded;
    if (!reloaded.LoadFromMemory(saved) || reloaded.GetPostCount() != feed.GetPostCount())
        std::abort();
    // A second print of the reloaded tree is the same text.
    if (reloaded.SaveToMemory() != saved)
        std::abort();
    (void)printed;
    if (feed.GetPostCount() > 0) {
        feed.SetTitle(0, QStringLiteral("t\u4E2D<&>"));
        feed.AddPost();
        feed.DuplicatePost(1);
        feed.RemovePost(0);
        (void)feed.SaveToMemory();
    }
    return 0;
}
