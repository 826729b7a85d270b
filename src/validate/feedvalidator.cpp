#include "feedvalidator.h"

#include "feedwalker.h"
#include "sourcetext.h"

#include "feed/rssfeed.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>
#include <numeric>

namespace {

// The line breaks in [p, end), sixteen bytes at a time: this runs over the
// whole file when the last finding is near its end.
size_t CountNewlines(const char* p, const char* end) {
    size_t count = 0;
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        // Per byte a counter, raised where a line break is; summed before
        // any of them can pass 255.
        __m128i counters = _mm_setzero_si128();
        for (int round = 0; round < 255 && end - p >= 16; ++round, p += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(chunk, newline));
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; p < end; ++p)
        count += *p == '\n';
    return count;
}

// Gives each finding its line and column from its offset in the text, in one
// pass over the text however many findings there are, and puts the findings
// in the order of their places.
void PlaceFindings(std::vector<Finding>& findings, const std::vector<size_t>& offsets,
                   const QByteArray& text) {
    std::vector<size_t> order(findings.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&offsets](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    const char* data = text.constData();
    const size_t size = static_cast<size_t>(text.size());
    size_t position = 0;
    size_t lineStart = 0;
    int line = 1;
    // The column is counted up to counted, so findings on one long line do
    // not count the same characters again.
    size_t counted = 0;
    int column = 1;
    for (size_t index : order) {
        const size_t target = std::min(size, offsets[index]);
        if (target > position) {
            const size_t breaks = CountNewlines(data + position, data + target);
            if (breaks > 0) {
                line += static_cast<int>(breaks);
                lineStart = static_cast<size_t>(static_cast<const char*>(memrchr(
                                                    data + position, '\n', target - position)) -
                                                data) +
                            1;
                counted = lineStart;
                column = 1;
            }
            position = target;
        }
        for (; counted < target; ++counted) {
            // Columns count characters, not the bytes of a UTF-8 sequence.
            if ((static_cast<unsigned char>(data[counted]) & 0xC0) != 0x80)
                ++column;
        }
        findings[index].line = line;
        findings[index].column = column;
    }
    // Into the order of their places, each finding moved once, in place: a
    // second array as large would cost more than the moves.
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        Finding held = std::move(findings[start]);
        size_t at = start;
        while (order[at] != start) {
            const size_t from = order[at];
            findings[at] = std::move(findings[from]);
            order[at] = at;
            at = from;
        }
        findings[at] = std::move(held);
        order[at] = at;
    }
}

} // namespace

const char* MessageId(Msg msg) {
    static const char* const kIds[] = {
#define ORVAN_MESSAGE_ID(id, severity) #id,
        ORVAN_VALIDATION_MESSAGES(ORVAN_MESSAGE_ID)
#undef ORVAN_MESSAGE_ID
    };
    return kIds[static_cast<int>(msg)];
}

Severity MessageSeverity(Msg msg) {
    static const Severity kSeverities[] = {
#define ORVAN_MESSAGE_SEVERITY(id, severity) Severity::severity,
        ORVAN_VALIDATION_MESSAGES(ORVAN_MESSAGE_SEVERITY)
#undef ORVAN_MESSAGE_SEVERITY
    };
    return kSeverities[static_cast<int>(msg)];
}

int ValidationReport::errorCount() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity() == Severity::Error;
    }));
}

Finding LoadFailureFinding(const QString& reason, const QByteArray& bytes) {
    Finding finding;
    finding.msg = Msg::SAXError;
    // The loader names the place as "line L, column C" (with the byte offset
    // in the file after a decoding fault), or only as the byte offset in the
    // text it parsed.
    static const QRegularExpression lineColumn(
        QStringLiteral(" ?\\(line (\\d+), column (\\d+)(?:, byte offset \\d+)?\\)"));
    static const QRegularExpression byteOffset(QStringLiteral(" ?\\(byte offset (\\d+)\\)"));
    QString text = reason;
    QRegularExpressionMatch match = lineColumn.match(reason);
    if (match.hasMatch()) {
        finding.line = std::max(1, match.captured(1).toInt());
        finding.column = std::max(1, match.captured(2).toInt());
    } else if (match = byteOffset.match(reason); match.hasMatch() && !bytes.isEmpty()) {
        std::vector<Finding> one(1);
        PlaceFindings(one, {static_cast<size_t>(match.captured(1).toULongLong())},
                      SourceText(bytes).Text());
        finding.line = one[0].line;
        finding.column = one[0].column;
    }
    // The place is the finding's own; the message need not repeat it.
    if (match.hasMatch())
        text.remove(match.capturedStart(), match.capturedLength());
    finding.message = QStringLiteral("The feed does not load: ") + text;
    return finding;
}

std::vector<Finding> ValidateLoadedFeed(const CRssFeed& feed, const QByteArray& bytes,
                                        const ValidationOptions& options) {
    const SourceText source(bytes, feed);
    const QByteArray& text = source.TreeText();
    std::vector<Finding> findings;
    std::vector<ptrdiff_t> offsets;
    // Room for a few findings per post, which is common; room never used
    // costs no memory.
    findings.reserve(static_cast<size_t>(feed.GetPostCount()) * 4 + 64);
    offsets.reserve(findings.capacity());
    FeedWalker walker(options, std::string_view(text.constData(), static_cast<size_t>(text.size())),
                      findings, offsets);
    walker.ReservePosts(feed.GetPostCount());
    walker.Run(feed);
    std::vector<size_t> places(offsets.size());
    for (size_t i = 0; i < offsets.size(); ++i)
        places[i] = source.FromTree(static_cast<size_t>(std::max<ptrdiff_t>(0, offsets[i])));
    PlaceFindings(findings, places, source.Text());
    return findings;
}

ValidationReport ValidateFeedBytes(const QByteArray& bytes, const ValidationOptions& options) {
    ValidationReport report;
    CRssFeed feed;
    QString error;
    if (!feed.LoadFromMemory(bytes, &error)) {
        report.findings.push_back(LoadFailureFinding(error, bytes));
        return report;
    }
    report.loaded = true;
    report.findings = ValidateLoadedFeed(feed, bytes, options);
    return report;
}
