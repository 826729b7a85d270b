#include "htmlui/htmlvalue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kUndefinedKey = QStringLiteral("$undefined");
}

HtmlValue::HtmlValue(const char16_t* text, qsizetype length) : m_type(Type::String) {
    if (!text)
        return;
    if (length < 0)
        length = std::char_traits<char16_t>::length(text);
    m_text = QString::fromUtf16(text, length);
}

HtmlValue::HtmlValue(const Array& items) : m_type(Type::Array), m_array(items) {}

HtmlValue::HtmlValue(const Map& entries) : m_type(Type::Map), m_map(entries) {}

HtmlValue HtmlValue::null() {
    HtmlValue v;
    v.m_type = Type::Null;
    return v;
}

qint64 HtmlValue::toInt(qint64 fallback) const {
    return (m_type == Type::Integer || m_type == Type::Boolean) ? m_int : fallback;
}

bool HtmlValue::toBool() const {
    return (m_type == Type::Integer || m_type == Type::Boolean) && m_int != 0;
}

QString HtmlValue::toText() const {
    switch (m_type) {
    case Type::Undefined:
    case Type::Null:
        return {};
    case Type::Boolean:
        return m_int ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Integer:
        return QString::number(m_int);
    case Type::String:
        return m_text;
    case Type::Array:
    case Type::Map:
        break;
    }
    const QJsonValue json = toJson();
    const QJsonDocument doc =
        json.isArray() ? QJsonDocument(json.toArray()) : QJsonDocument(json.toObject());
    return QString::fromUtf8(doc.toJson(QJsonDocument::Compact));
}

const HtmlValue::Array& HtmlValue::toArray() const {
    static const Array empty;
    return m_type == Type::Array ? m_array : empty;
}

const HtmlValue::Map& HtmlValue::toMap() const {
    static const Map empty;
    return m_type == Type::Map ? m_map : empty;
}

HtmlValue HtmlValue::value(const QString& key) const {
    return m_type == Type::Map ? m_map.value(key) : HtmlValue();
}

HtmlValue HtmlValue::at(qsizetype index) const {
    if (m_type != Type::Array || index < 0 || index >= m_array.size())
        return {};
    return m_array.at(index);
}

qsizetype HtmlValue::count() const {
    if (m_type == Type::Array)
        return m_array.size();
    return m_type == Type::Map ? m_map.size() : 0;
}

bool HtmlValue::operator==(const HtmlValue& other) const {
    if (m_type != other.m_type)
        return false;
    switch (m_type) {
    case Type::Undefined:
    case Type::Null:
        return true;
    case Type::Boolean:
    case Type::Integer:
        return m_int == other.m_int;
    case Type::String:
        return m_text == other.m_text;
    case Type::Array:
        return m_array == other.m_array;
    case Type::Map:
        return m_map == other.m_map;
    }
    return false;
}

QJsonValue HtmlValue::toJson() const {
    switch (m_type) {
    case Type::Undefined:
        return QJsonObject{{kUndefinedKey, true}};
    case Type::Null:
        return QJsonValue(QJsonValue::Null);
    case Type::Boolean:
        return m_int != 0;
    case Type::Integer:
        return m_int;
    case Type::String:
        return m_text;
    case Type::Array: {
        QJsonArray a;
        for (const HtmlValue& v : m_array)
            a.append(v.toJson());
        return a;
    }
    case Type::Map: {
        QJsonObject o;
        for (auto it = m_map.cbegin(); it != m_map.cend(); ++it)
            o.insert(it.key(), it.value().toJson());
        return o;
    }
    }
    return {};
}

HtmlValue HtmlValue::fromJson(const QJsonValue& json) {
    switch (json.type()) {
    case QJsonValue::Null:
        return null();
    case QJsonValue::Bool:
        return HtmlValue(json.toBool());
    case QJsonValue::Double: {
        const double d = json.toDouble();
        const qint64 i = json.toInteger();
        if (double(i) == d)
            return HtmlValue(i);
        return HtmlValue(QString::number(d));
    }
    case QJsonValue::String:
        return HtmlValue(json.toString());
    case QJsonValue::Array: {
        Array items;
        for (const QJsonValue& v : json.toArray())
            items.append(fromJson(v));
        return HtmlValue(items);
    }
    case QJsonValue::Object: {
        const QJsonObject o = json.toObject();
        if (o.size() == 1 && o.value(kUndefinedKey).toBool())
            return {};
        Map entries;
        for (auto it = o.begin(); it != o.end(); ++it)
            entries.insert(it.key(), fromJson(it.value()));
        return HtmlValue(entries);
    }
    case QJsonValue::Undefined:
        break;
    }
    return {};
}

bool utf8ToUtf16(const char* bytes, qsizetype length, QString& out) {
    out.clear();
    if (!bytes)
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto atEnd = [&](qsizetype i) { return (length >= 0 && i >= length) || p[i] == 0; };
    int errors = 0;
    qsizetype i = 0;
    while (!atEnd(i)) {
        const unsigned char lead = p[i++];
        int more = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            out.append(QChar(lead));
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3;
            cp = lead & 0x07;
        } else {
            out.append(u'?');
            ++errors;
            continue;
        }
        bool cut = false;
        for (int k = 0; k < more; ++k) {
            if (atEnd(i)) {
                cut = true;
                break;
            }
            cp = (cp << 6) | (p[i++] & 0x3F);
        }
        if (cut) {
            // A truncated sequence is damaged input, not a success.
            out.append(u'?');
            ++errors;
            break;
        }
        if (more == 3) {
            out.append(QChar(char16_t(0xD7C0 + (cp >> 10))));
            out.append(QChar(char16_t(0xDC00 + (cp & 0x3FF))));
        } else if (!(cp == 0xFEFF && out.isEmpty())) {
            out.append(QChar(char16_t(cp)));
        }
    }
    return errors == 0;
}
