// The bytes a save of a feed writes, made in two halves: the tree printed a
// part at a time on the thread that owns it, so that thread never stops for
// long, and the text turned into the file's bytes (byte-order mark, encoding)
// on any thread.
#pragma once

#include "feed/feedprinter.h"

#include <QByteArray>
#include <memory>
#include <string>
#include <vector>

class CRssFeed;

// How long a slice of a print on a window's thread lasts: well inside a
// frame, so keys and paints go on between slices.
constexpr qint64 kPrintSliceNs = 5'000'000;
class LegacyEncoder;

// How a feed's printed text becomes the bytes of its file.
struct FeedFileForm {
    // A FeedEncodingKind.
    int kind = 0;
    // The legacy encoding's name.
    QByteArray encoding;
    bool bom = false;
};

class FeedPrintJob final {
public:
    // The feed must outlive the job and not change while it prints.
    explicit FeedPrintJob(const CRssFeed& feed);
    ~FeedPrintJob();
    FeedPrintJob(const FeedPrintJob&) = delete;
    FeedPrintJob& operator=(const FeedPrintJob&) = delete;

    // Appends the text (UTF-8, the file's line ends) of up to nodes more
    // nodes to out.
    DocumentPrinter::Step Print(std::string& out, size_t nodes);
    // Prints until about nanoseconds have passed (looking at the clock every
    // few hundred nodes) or the print is over.
    DocumentPrinter::Step PrintFor(std::string& out, qint64 nanoseconds);
    const FeedFileForm& Form() const { return m_form; }

private:
    FeedFileForm m_form;
    std::unique_ptr<LegacyEncoder> m_encoder;
    std::unique_ptr<DocumentPrinter> m_printer;
};

// The file's bytes from the parts of its printed text, as CRssFeed::
// SaveToMemory gives them; empty when the text cannot be encoded.
QByteArray FeedBytesFromText(const std::vector<std::string>& parts, const FeedFileForm& form);
