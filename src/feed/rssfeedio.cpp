// Reading and writing feed files: encodings, byte-order marks, line ends and
// the white-space rules of plain text.
#include "rssfeed.h"

#include "platform/atomicfile.h"

#include "feedencoding.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned int kParseOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute | pugi::parse_eol |
    pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype |
    pugi::parse_trim_pcdata;

// 1 for the four white-space characters of XML.
constexpr auto kSpace = [] {
    std::array<unsigned char, 256> table{};
    table[' '] = table['\t'] = table['\n'] = table['\r'] = 1;
    return table;
}();

#ifdef __SSE2__
// One bit for each of the sixteen characters at p that needs care: a line
// break, a tab, another control character, the end of the text, or a blank
// followed by one of these or by another blank. Reads p[0] to p[16].
inline unsigned SpecialMask(const char* p) {
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i lowX = _mm_cmpeq_epi8(_mm_max_epu8(x, blank), blank);
    const __m128i lowY = _mm_cmpeq_epi8(_mm_max_epu8(y, blank), blank);
    const __m128i blankX = _mm_cmpeq_epi8(x, blank);
    const __m128i special =
        _mm_or_si128(_mm_andnot_si128(blankX, lowX), _mm_and_si128(blankX, lowY));
    return static_cast<unsigned>(_mm_movemask_epi8(special));
}

// Moves a block towards the start of the text; both halves are read before
// anything is written, as the two ranges may overlap.
template <int kSize> inline void MoveBlock(char* to, const char* from) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    if constexpr (kSize == 32) {
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), second);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), first);
    }
}
#endif

// Plain text loses white space at both ends and each inner run becomes one
// blank. The parser trimmed the raw ends already, but white space written as
// a character reference reaches the text decoded, and a printed blank at an
// end would be trimmed when the file is read again. The text is rewritten
// where it stands (it only gets shorter); end bounds the memory that may be
// read past the text. Returns the new length.
size_t CondenseInPlace(char* text, const char* end) {
    char* p = text;
    char* out = p;
    // Starting as if after white space drops the leading run.
    unsigned previous = 1;
    for (;;) {
#ifdef __SSE2__
        // Ordinary characters go in blocks; most texts need no change at all,
        // and those are only read, never written.
        if (previous == 0) {
            unsigned mask = 0;
            while (end - p >= 33) {
                mask = SpecialMask(p) | (SpecialMask(p + 16) << 16);
                if (mask != 0)
                    break;
                if (out != p)
                    MoveBlock<32>(out, p);
                p += 32;
                out += 32;
            }
            while (mask == 0 && end - p >= 17) {
                mask = SpecialMask(p);
                if (mask != 0)
                    break;
                if (out != p)
                    MoveBlock<16>(out, p);
                p += 16;
                out += 16;
            }
            // The ordinary characters before the first one that needs care.
            if (mask != 0) {
                const unsigned plain = static_cast<unsigned>(__builtin_ctz(mask));
                if (out != p)
                    std::memmove(out, p, plain);
                p += plain;
                out += plain;
            }
        }
#endif
        const unsigned c = static_cast<unsigned char>(*p);
        if (c == 0)
            break;
        // Every white-space character is written as a blank, but only the
        // first of a run moves the output on.
        const unsigned space = kSpace[c];
        *out = static_cast<char>(space ? ' ' : c);
        out += !(space & previous);
        previous = space;
        ++p;
    }
    // A trailing run left one blank behind.
    if (previous && out > text)
        --out;
    *out = '\0';
    return static_cast<size_t>(out - text);
}

// Condenses one text node; false when nothing is left of it.
bool CondenseText(pugi::xml_node node, const char* begin, const char* end) {
    char* value = const_cast<char*>(node.value());
    // Right after an in-place parse every value lies in the buffer the
    // document owns and may be rewritten there.
    if (value >= begin && value < end)
        return CondenseInPlace(value, end) > 0;
    std::string copy(value);
    const size_t length = CondenseInPlace(copy.data(), copy.data() + copy.size());
    node.set_value(copy.c_str());
    return length > 0;
}

// Condenses every plain text of the tree. pugixml's own walk visits the
// nodes without recursion (deeply nested files are allowed) and without a
// library call per step; texts condensed to nothing are removed afterwards,
// since a walk must not lose the node it stands on.
class TextCondenser final : public pugi::xml_tree_walker {
public:
    TextCondenser(const char* begin, const char* end) : m_begin(begin), m_end(end) {}
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_pcdata && !CondenseText(node, m_begin, m_end))
            m_emptied.push_back(node);
        return true;
    }
    // White space only: the text goes, as the parser drops such text.
    void RemoveEmptied() {
        for (pugi::xml_node node : m_emptied)
            node.parent().remove_child(node);
    }

private:
    const char* m_begin;
    const char* m_end;
    std::vector<pugi::xml_node> m_emptied;
};

void CondenseTree(pugi::xml_node root, const char* begin, const char* end) {
    TextCondenser condenser(begin, end);
    root.traverse(condenser);
    condenser.RemoveEmptied();
}

// Line and column (both from 1) of a byte offset.
QString Position(const char* data, size_t size, ptrdiff_t offset) {
    size_t end = offset < 0 ? 0 : std::min(size, static_cast<size_t>(offset));
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < end; ++i) {
        if (data[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    // Columns count characters, not the bytes of a UTF-8 sequence.
    int column = 1;
    for (size_t i = lineStart; i < end; ++i) {
        if ((static_cast<unsigned char>(data[i]) & 0xC0) != 0x80)
            ++column;
    }
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

// True when the text has line breaks and every one of them is CR LF; a file
// with mixed line ends is saved with LF.
bool AllLineEndsAreCrLf(const char* data, size_t size) {
    const char* end = data + size;
    bool any = false;
    for (const char* p = data; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!p)
            break;
        if (p == data || p[-1] != '\r')
            return false;
        any = true;
    }
    return any;
}

// pugixml output gathered into a byte array, with LF turned into CR LF when
// the file had them.
class ByteWriter final : public pugi::xml_writer {
public:
    explicit ByteWriter(bool crlf) : m_crlf(crlf) {}
    void write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        if (!m_crlf) {
            m_bytes.append(p, static_cast<qsizetype>(size));
            return;
        }
        const char* end = p + size;
        while (p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!lf) {
                m_bytes.append(p, end - p);
                break;
            }
            m_bytes.append(p, lf - p);
            // Processing instructions keep a CR LF of their own; it is not
            // doubled, or every save would add one more CR.
            if (m_bytes.isEmpty() || m_bytes.back() != '\r')
                m_bytes.append('\r');
            m_bytes.append('\n');
            p = lf + 1;
        }
    }
    QByteArray m_bytes;

private:
    bool m_crlf;
};

char* AllocateBuffer(size_t size) {
    return static_cast<char*>(pugi::get_memory_allocation_function()(size ? size : 1));
}

void FreeBuffer(char* buffer) {
    pugi::get_memory_deallocation_function()(buffer);
}

// The text the parser saw (decoded, without the byte-order mark), to place
// an error by line and column once the parser has changed its own buffer.
QByteArray ParserText(const QByteArray& raw) {
    const FeedEncoding encoding = SniffEncoding(raw.constData(), static_cast<size_t>(raw.size()));
    if (encoding.isUtf8)
        return raw.mid(static_cast<qsizetype>(encoding.bomSize));
    QByteArray utf8;
    QString reason;
    DecodeToUtf8(encoding, raw.constData() + encoding.bomSize,
                 static_cast<size_t>(raw.size()) - encoding.bomSize, utf8, reason);
    return utf8;
}

} // namespace

bool CRssFeed::LoadFromMemory(const QByteArray& bytes, QString* error) {
    Clear();
    char* buffer = AllocateBuffer(static_cast<size_t>(bytes.size()));
    if (!buffer) {
        if (error)
            *error = QStringLiteral("out of memory");
        return false;
    }
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    return LoadBuffer(buffer, static_cast<size_t>(bytes.size()), error,
                      [&bytes] { return ParserText(bytes); });
}

bool CRssFeed::LoadFile(const QString& path, QString* error) {
    Clear();
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo info(path);
    if (info.isDir())
        return fail(QStringLiteral("is a directory"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot be read: ") + file.errorString());
    const qint64 size = file.size();
    // Read straight into the buffer the parser keeps, so the file's bytes are
    // held only once.
    char* buffer = AllocateBuffer(static_cast<size_t>(size));
    if (!buffer)
        return fail(QStringLiteral("out of memory"));
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(buffer + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done != size || file.error() != QFileDevice::NoError) {
        FreeBuffer(buffer);
        return fail(QStringLiteral("cannot be read: ") + file.errorString());
    }
    file.close();
    return LoadBuffer(buffer, static_cast<size_t>(size), error, [&path] {
        QFile again(path);
        return again.open(QIODevice::ReadOnly) ? ParserText(again.readAll()) : QByteArray();
    });
}

bool CRssFeed::LoadBuffer(char* buffer, size_t size, QString* error,
                          const std::function<QByteArray()>& parserText) {
    const FeedEncoding encoding = SniffEncoding(buffer, size);
    if (!encoding.isUtf8) {
        QByteArray utf8;
        QString reason;
        const bool decoded = DecodeToUtf8(encoding, buffer + encoding.bomSize,
                                          size - encoding.bomSize, utf8, reason);
        FreeBuffer(buffer);
        if (!decoded) {
            if (error)
                *error = reason;
            return false;
        }
        size = static_cast<size_t>(utf8.size());
        buffer = AllocateBuffer(size);
        if (!buffer) {
            if (error)
                *error = QStringLiteral("out of memory");
            return false;
        }
        std::memcpy(buffer, utf8.constData(), size);
    } else if (encoding.bomSize) {
        size -= encoding.bomSize;
        std::memmove(buffer, buffer + encoding.bomSize, size);
    }
    const bool crlf = AllLineEndsAreCrLf(buffer, size);
    const pugi::xml_parse_result result =
        load_buffer_inplace_own(buffer, size, kParseOptions, pugi::encoding_utf8);
    if (!result) {
        if (error) {
            const QByteArray text = parserText();
            *error = QStringLiteral("not well-formed XML (%1): %2")
                         .arg(Position(text.constData(), static_cast<size_t>(text.size()),
                                       result.offset),
                              QString::fromUtf8(result.description()));
        }
        Clear();
        return false;
    }
    // The declaration the parser read must name the encoding the bytes were
    // decoded with; otherwise a saved file would be read back differently.
    if (!encoding.utf16) {
        const pugi::xml_node declaration = child("xml");
        const QByteArray declared =
            declaration.type() == pugi::node_declaration
                ? QByteArray(declaration.attribute("encoding").value()).trimmed()
                : QByteArray();
        const bool agrees =
            encoding.isUtf8 ? IsUtf8Name(declared)
                            : declared.compare(encoding.name.toLatin1(), Qt::CaseInsensitive) == 0;
        if (!agrees) {
            if (error)
                *error =
                    QStringLiteral("the XML declaration is not at the start or cannot be read");
            Clear();
            return false;
        }
    }
    CondenseTree(*this, buffer, buffer + size);
    RebuildIndex();
    m_bom = encoding.bomSize > 0;
    m_lineEnds = crlf ? LineEnds::CrLf : LineEnds::Lf;
    m_encoding = encoding.isUtf8 ? QString() : encoding.name;
    m_utf16 = encoding.utf16;
    return true;
}

bool CRssFeed::PrintTo(QByteArray& out, bool forFile) const {
    const bool toOtherEncoding = forFile && !m_encoding.isEmpty();
    ByteWriter writer(forFile && m_lineEnds == LineEnds::CrLf);
    if (forFile && m_bom && !toOtherEncoding)
        writer.m_bytes.append("\xEF\xBB\xBF", 3);
    save(writer, "    ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    if (!toOtherEncoding) {
        out = std::move(writer.m_bytes);
        return true;
    }
    return EncodeFromUtf8(m_encoding, m_bom, writer.m_bytes, out);
}

QByteArray CRssFeed::SaveToMemory() const {
    QByteArray bytes;
    PrintTo(bytes, true);
    return bytes;
}

QByteArray CRssFeed::PrintToText() const {
    QByteArray bytes;
    PrintTo(bytes, false);
    return bytes;
}

bool CRssFeed::SaveFile(const QString& path, QString* error) const {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("is a directory"));
    QByteArray bytes;
    if (!PrintTo(bytes, true))
        return fail(QStringLiteral("cannot be written in the encoding %1").arg(m_encoding));
    // Written beside the target and renamed over it once every byte is on
    // disk, so a failed save (a full disk too) leaves the old file as it was.
    return WriteFileAtomically(path, bytes, error);
}
