// Colouring of the HTML code preview: tags blue and bold, quoted values dark
// green, web addresses underlined. Spans are found over the whole text (a tag
// or a quote may run over several lines) and cached until the text changes.
#pragma once

#include <QList>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextBlockUserData>

class HtmlCodeHighlighter final : public QSyntaxHighlighter {
    Q_OBJECT
public:
    struct Span {
        int start = 0;
        int length = 0;
        bool operator==(const Span&) const = default;
    };

    explicit HtmlCodeHighlighter(QTextDocument* document);

    // Every "<" ... ">" run, searched forward; a "<" without a later ">" ends the search.
    static QList<Span> FindSpans(const QString& text, QChar open, QChar close);
    // The web address at a position of a line, or an empty text.
    static QString LinkAt(const QString& line, int position);

protected:
    void highlightBlock(const QString& text) override;

private:
    void OnContentsChange(int position, int removed, int added);
    void EnsureSpans();
    void ApplySpans(const QList<Span>& spans, int blockStart, int blockEnd,
                    const QTextCharFormat& format);
    void CheckEarlierBlocks();
    // A digest of the spans that fall into a line, kept with the line once coloured.
    size_t BlockSignature(int blockStart, int blockEnd) const;
    struct SpanSignature final : QTextBlockUserData {
        size_t value = 0;
    };

    QList<Span> m_tags;
    QList<Span> m_quotes;
    bool m_spansValid = false;
    bool m_checkPending = false;
};
