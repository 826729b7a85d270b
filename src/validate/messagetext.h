// Message texts joined from their parts in one allocation. A feed can give a
// finding in every post, so messages are built often; QString::arg parses its
// pattern and allocates once per argument, which showed in the validator's
// timings. Internal to the validator.
#pragma once

#include <QString>
#include <cstring>
#include <string_view>

// A value of the feed quoted in a message, shortened when long (never
// inside a character).
struct Quoted {
    explicit Quoted(std::string_view value) : text(value) {
        if (text.size() <= 60)
            return;
        size_t cut = 57;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text = text.substr(0, cut);
        shortened = true;
    }
    std::string_view text;
    bool shortened = false;
};

// How many UTF-16 units a part may take, at most; UTF-8 never takes more
// units than it has bytes.
// Literals: their size is known when compiling.
template <size_t N> constexpr qsizetype MessagePartSize(const char16_t (&)[N]) {
    return N - 1;
}
inline qsizetype MessagePartSize(QStringView part) {
    return part.size();
}
inline qsizetype MessagePartSize(std::string_view part) {
    return static_cast<qsizetype>(part.size());
}
inline qsizetype MessagePartSize(const Quoted& part) {
    return static_cast<qsizetype>(part.text.size()) + 5;
}

template <size_t N> char16_t* WriteMessagePart(char16_t* out, const char16_t (&part)[N]) {
    std::memcpy(out, part, (N - 1) * sizeof(char16_t));
    return out + N - 1;
}
inline char16_t* WriteMessagePart(char16_t* out, QStringView part) {
    std::memcpy(out, part.utf16(), static_cast<size_t>(part.size()) * sizeof(char16_t));
    return out + part.size();
}
inline char16_t* WriteMessagePart(char16_t* out, std::string_view utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (static_cast<unsigned char>(utf8[i]) >= 0x80) {
            const QString rest =
                QString::fromUtf8(utf8.data() + i, static_cast<qsizetype>(utf8.size() - i));
            return WriteMessagePart(out, QStringView(rest));
        }
        *out++ = static_cast<char16_t>(utf8[i]);
    }
    return out;
}
inline char16_t* WriteMessagePart(char16_t* out, const Quoted& part) {
    *out++ = u'"';
    out = WriteMessagePart(out, part.text);
    if (part.shortened)
        out = WriteMessagePart(out, std::string_view("..."));
    *out++ = u'"';
    return out;
}

// Cat(u"<", name, u"> is empty.") with parts as UTF-16 (QString, u"..."),
// UTF-8 (std::string_view, "...") or Quoted values.
template <typename... Parts> QString Cat(const Parts&... parts) {
    QString text((qsizetype{0} + ... + MessagePartSize(parts)), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    ((out = WriteMessagePart(out, parts)), ...);
    text.truncate(out - begin);
    return text;
}
