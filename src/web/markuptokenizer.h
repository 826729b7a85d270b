// A small, forgiving scanner of HTML held as UTF-8: enough to find the text
// of one element in the first bytes of a page.
#pragma once

#include <QByteArray>
#include <QString>

class MarkupTokenizer final {
public:
    enum TokenType { Error, EndOfInput, Word, Space, StartTag, EndTag, Attribute, Data };

    // The text is not copied; it must outlive the tokenizer. A zero byte ends it.
    MarkupTokenizer(const char* utf8, qsizetype length);

    TokenType next();

    // Word, space and data text, or an attribute's value.
    QString text() const { return m_text; }
    // Narrow, as written, at most 127 characters.
    QByteArray tagName() const { return m_tagName; }
    QString attributeName() const { return m_attributeName; }

private:
    char32_t peek();
    char32_t get();
    char32_t decode();
    void append(QString& to, char32_t c);
    TokenType scanTag();
    TokenType scanInTag();
    TokenType scanUntil(const QString& terminator);
    TokenType scanDeclaration();
    void scanEntity();

    const char* m_data;
    qsizetype m_length;
    qsizetype m_pos = 0;
    char32_t m_peeked = 0;
    bool m_hasPeeked = false;

    bool m_inTag = false;
    bool m_endTag = false;
    QString m_text;
    QByteArray m_tagName;
    QString m_attributeName;
};

// The text of the first element named tagName (any case); true once its end tag was reached.
bool findElementText(const char* utf8, qsizetype length, const QString& tagName, QString& text);
