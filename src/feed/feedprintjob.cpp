#include "feed/feedprintjob.h"

#include "feed/feedencoding.h"
#include "feed/rssfeed.h"

#include <QElapsedTimer>

FeedPrintJob::FeedPrintJob(const CRssFeed& feed) {
    m_form.kind = feed.GetEncodingKind();
    m_form.bom = feed.HasByteOrderMark();
    PrintOptions options;
    options.crlf = feed.GetLineEnds() == LineEnds::CrLf;
    if (static_cast<FeedEncodingKind>(m_form.kind) == FeedEncodingKind::Legacy) {
        m_form.encoding = feed.GetEncoding().toLatin1();
        m_encoder = std::make_unique<LegacyEncoder>(m_form.encoding);
        // A save would refuse to write: there is nothing to print.
        if (!m_encoder->IsValid())
            return;
        options.encoder = m_encoder.get();
    }
    m_printer = std::make_unique<DocumentPrinter>(feed, options);
}

FeedPrintJob::~FeedPrintJob() = default;

DocumentPrinter::Step FeedPrintJob::Print(std::string& out, size_t nodes) {
    return m_printer ? m_printer->Print(out, nodes) : DocumentPrinter::Step::Failed;
}

DocumentPrinter::Step FeedPrintJob::PrintFor(std::string& out, qint64 nanoseconds) {
    // A few hundred nodes take some microseconds: the clock is not looked at
    // more often than that is worth.
    constexpr size_t kNodesPerLook = 200;
    QElapsedTimer timer;
    timer.start();
    DocumentPrinter::Step step;
    do
        step = Print(out, kNodesPerLook);
    while (step == DocumentPrinter::Step::More && timer.nsecsElapsed() < nanoseconds);
    return step;
}

QByteArray FeedBytesFromText(const std::vector<std::string>& parts, const FeedFileForm& form) {
    const auto kind = static_cast<FeedEncodingKind>(form.kind);
    size_t size = 3;
    for (const std::string& part : parts)
        size += part.size();
    if (kind == FeedEncodingKind::Utf8) {
        QByteArray bytes;
        bytes.reserve(static_cast<qsizetype>(size));
        if (form.bom)
            bytes += "\xEF\xBB\xBF";
        for (const std::string& part : parts)
            bytes.append(part.data(), static_cast<qsizetype>(part.size()));
        return bytes;
    }
    std::string text;
    text.reserve(size);
    for (const std::string& part : parts)
        text += part;
    if (kind != FeedEncodingKind::Legacy)
        return EncodeUtf16(text, kind == FeedEncodingKind::Utf16BE);
    // An encoder of its own: this may run on another thread than the print.
    LegacyEncoder encoder(form.encoding);
    QByteArray bytes;
    QString reason;
    if (!encoder.IsValid() || !encoder.Encode(text, bytes, reason))
        return QByteArray();
    return bytes;
}
