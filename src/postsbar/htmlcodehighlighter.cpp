#include "htmlcodehighlighter.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace {

const QRegularExpression& LinkPattern() {
    // A line break of the post, U+2028 in the pane, ends an address like any blank.
    static const QRegularExpression pattern(
        QStringLiteral(R"((?:https?://|ftp://|mailto:|www\.)[^\s"'<>\x{2028}]+)"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// True when a span runs on past the end of the line that ends at lineEnd.
bool RunsPast(const QList<HtmlCodeHighlighter::Span>& spans, int lineEnd) {
    auto it = std::lower_bound(
        spans.begin(), spans.end(), lineEnd,
        [](const HtmlCodeHighlighter::Span& s, int pos) { return s.start + s.length <= pos; });
    return it != spans.end() && it->start <= lineEnd;
}

} // namespace

HtmlCodeHighlighter::HtmlCodeHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(static_cast<QObject*>(nullptr)) {
    // Connected before the base class attaches, so the cache is dropped before
    // the base rehighlights the changed blocks.
    connect(document, &QTextDocument::contentsChange, this, &HtmlCodeHighlighter::OnContentsChange);
    setDocument(document);
    setParent(document);
}

QList<HtmlCodeHighlighter::Span> HtmlCodeHighlighter::FindSpans(const QString& text, QChar open,
                                                                QChar close) {
    QList<Span> spans;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = text.indexOf(open, from);
        if (start < 0)
            break;
        const qsizetype end = text.indexOf(close, start + 1);
        if (end < 0)
            break;
        spans.append({int(start), int(end - start + 1)});
        from = end + 1;
    }
    return spans;
}

QString HtmlCodeHighlighter::LinkAt(const QString& line, int position) {
    auto it = LinkPattern().globalMatch(line);
    while (it.hasNext()) {
        const auto match = it.next();
        if (position >= match.capturedStart() && position < match.capturedEnd())
            return match.captured();
    }
    return QString();
}

void HtmlCodeHighlighter::EnsureSpans() {
    if (m_spansValid)
        return;
    QString text = document()->toRawText();
    m_tags = FindSpans(text, u'<', u'>');
    m_quotes = FindSpans(text, u'"', u'"');
    m_spansValid = true;
}

void HtmlCodeHighlighter::OnContentsChange(int, int, int) {
    m_spansValid = false;
    if (m_checkPending)
        return;
    // A quote or tag closed or opened by an edit can change the colour of
    // lines above it, which the base class never revisits.
    m_checkPending = true;
    QMetaObject::invokeMethod(this, &HtmlCodeHighlighter::CheckEarlierBlocks, Qt::QueuedConnection);
}

size_t HtmlCodeHighlighter::BlockSignature(int blockStart, int blockEnd) const {
    size_t seed = 0;
    for (const QList<Span>* spans : {&m_tags, &m_quotes}) {
        auto it =
            std::lower_bound(spans->begin(), spans->end(), blockStart,
                             [](const Span& s, int pos) { return s.start + s.length <= pos; });
        for (; it != spans->end() && it->start < blockEnd; ++it)
            seed = qHashMulti(seed, std::max(it->start, blockStart) - blockStart,
                              std::min(it->start + it->length, blockEnd) - blockStart);
        seed = qHashMulti(seed, -1);
    }
    return seed;
}

void HtmlCodeHighlighter::CheckEarlierBlocks() {
    m_checkPending = false;
    EnsureSpans();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const int start = block.position();
        const auto* drawn = static_cast<const SpanSignature*>(block.userData());
        if (!drawn || drawn->value != BlockSignature(start, start + block.length() - 1))
            rehighlightBlock(block);
    }
}

void HtmlCodeHighlighter::highlightBlock(const QString& text) {
    EnsureSpans();
    const int blockStart = currentBlock().position();
    const int blockEnd = blockStart + int(text.size());

    QTextCharFormat tag;
    tag.setForeground(QColor(0, 0, 255));
    tag.setFontWeight(QFont::Bold);
    QTextCharFormat quoted;
    quoted.setForeground(QColor(0, 125, 0));
    quoted.setFontWeight(QFont::Normal);

    ApplySpans(m_tags, blockStart, blockEnd, tag);
    ApplySpans(m_quotes, blockStart, blockEnd, quoted);

    auto it = LinkPattern().globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        for (qsizetype i = match.capturedStart(); i < match.capturedEnd(); ++i) {
            QTextCharFormat f = format(int(i));
            f.setFontUnderline(true);
            setFormat(int(i), 1, f);
        }
    }
    auto* signature = static_cast<SpanSignature*>(currentBlockUserData());
    if (!signature) {
        signature = new SpanSignature;
        setCurrentBlockUserData(signature);
    }
    signature->value = BlockSignature(blockStart, blockEnd);

    // Whether a tag or a quote stays open at the line's end: when that changes,
    // the base class goes on to colour the following lines again.
    const int lineEnd = blockStart + int(text.size());
    setCurrentBlockState((RunsPast(m_tags, lineEnd) ? 1 : 0) |
                         (RunsPast(m_quotes, lineEnd) ? 2 : 0));
}

void HtmlCodeHighlighter::ApplySpans(const QList<Span>& spans, int blockStart, int blockEnd,
                                     const QTextCharFormat& format) {
    auto it = std::lower_bound(spans.begin(), spans.end(), blockStart,
                               [](const Span& s, int pos) { return s.start + s.length <= pos; });
    for (; it != spans.end() && it->start < blockEnd; ++it) {
        const int from = std::max(it->start, blockStart);
        const int to = std::min(it->start + it->length, blockEnd);
        if (to > from)
            setFormat(from - blockStart, to - from, format);
    }
}
