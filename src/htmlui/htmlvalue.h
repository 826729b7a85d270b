// A value exchanged with an HTML surface: what a control holds, what a
// behaviour method answers, what a page publishes as state.
#pragma once

#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>

class HtmlValue final {
public:
    enum class Type { Undefined, Null, Boolean, Integer, String, Array, Map };
    using Array = QList<HtmlValue>;
    using Map = QMap<QString, HtmlValue>;

    HtmlValue() = default;
    HtmlValue(int value) : m_type(Type::Integer), m_int(value) {}
    HtmlValue(qint64 value) : m_type(Type::Integer), m_int(value) {}
    HtmlValue(bool value) : m_type(Type::Boolean), m_int(value ? 1 : 0) {}
    HtmlValue(const QString& text) : m_type(Type::String), m_text(text) {}
    HtmlValue(const char16_t* text) : HtmlValue(QString::fromUtf16(text)) {}
    // A counted wide string; a negative length stops at the first zero.
    HtmlValue(const char16_t* text, qsizetype length);
    HtmlValue(const Array& items);
    HtmlValue(const Map& entries);
    // Any pointer must not silently become a boolean.
    HtmlValue(const void*) = delete;

    static HtmlValue null();

    Type type() const { return m_type; }
    bool isUndefined() const { return m_type == Type::Undefined; }
    bool isNull() const { return m_type == Type::Null; }
    bool isBool() const { return m_type == Type::Boolean; }
    bool isInt() const { return m_type == Type::Integer; }
    bool isString() const { return m_type == Type::String; }
    bool isArray() const { return m_type == Type::Array; }
    bool isMap() const { return m_type == Type::Map; }

    // The integer of an integer or boolean value, else the fallback.
    qint64 toInt(qint64 fallback = 0) const;
    // Truth of a boolean or integer value; everything else is false.
    bool toBool() const;
    // A string as it stands; anything else converted to text (valueToText).
    QString toText() const;
    const Array& toArray() const;
    const Map& toMap() const;
    // The entry of a map, undefined when missing or not a map.
    HtmlValue value(const QString& key) const;
    HtmlValue at(qsizetype index) const;
    qsizetype count() const;

    bool operator==(const HtmlValue& other) const;
    bool operator!=(const HtmlValue& other) const { return !(*this == other); }

    // The page's wire form: JSON with undefined carried as {"$undefined": true}.
    QJsonValue toJson() const;
    static HtmlValue fromJson(const QJsonValue& json);

private:
    Type m_type = Type::Undefined;
    qint64 m_int = 0;
    QString m_text;
    Array m_array;
    Map m_map;
};

// Text of any value; a string is read as it stands.
inline QString valueToText(const HtmlValue& value) {
    return value.toText();
}

// Decodes UTF-8 up to length bytes or the first zero byte (length < 0: up to
// the zero). Malformed lead bytes become "?" and make the answer false; a
// sequence cut short by the end becomes "?" and ends the decoding; a leading
// byte-order mark is dropped.
bool utf8ToUtf16(const char* bytes, qsizetype length, QString& out);
