// Reading and writing feed files: encodings, byte-order marks, line ends and
// the checks that keep every byte of a file the program loads and saves.
#include "rssfeed.h"

#include "platform/atomicfile.h"
#include "platform/readfile.h"

#include "feedencoding.h"
#include "feedprinter.h"
#include "feedtext.h"
#include "xmlcheck.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

// No condensing, no line-end pass (the text is normalised beforehand when it
// needs it); white-space-only text is kept where it is the only child, and
// everywhere when the check found it part of mixed content.
constexpr unsigned int kParseOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute | pugi::parse_comments |
    pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_embed_pcdata;

// Expanded entities may add this much to a document, or its own size if
// that is more; a few entities that multiply each other get no further.
constexpr size_t kEntityExpansionBytes = 10 * 1024 * 1024;

// Line and column (both from 1) of a byte offset; columns count characters.
QString Position(const char* data, size_t size, size_t offset) {
    const size_t end = std::min(size, offset);
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < end; ++i) {
        if (data[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    int column = 1;
    for (size_t i = lineStart; i < end; ++i) {
        if ((static_cast<unsigned char>(data[i]) & 0xC0) != 0x80)
            ++column;
    }
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

QString NotWellFormed(const QString& where, const std::string& reason) {
    return QStringLiteral("not well-formed XML (%1): %2")
        .arg(where, QString::fromStdString(reason));
}

// CR LF and lone CR become LF, as every XML reader sees them. Returns the new
// size; crlf tells whether every line end was CR LF.
size_t NormalizeLineEnds(char* data, size_t size, bool& crlf) {
    bool onlyCrLf = true;
    bool any = false;
    char* out = data;
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r') {
            any = true;
            *out++ = '\n';
            if (i + 1 < size && data[i + 1] == '\n')
                ++i;
            else
                onlyCrLf = false;
        } else {
            onlyCrLf &= c != '\n';
            *out++ = c;
        }
    }
    const size_t newSize = static_cast<size_t>(out - data);
    std::memset(out, 0, size - newSize);
    crlf = any && onlyCrLf;
    return newSize;
}

// Takes out white-space-only text in element-only content everywhere in
// the tree, walking it without recursion.
void RemoveIgnorableBlanks(pugi::xml_node root) {
    pugi::xml_node node = root.first_child();
    while (node) {
        if (node.type() == pugi::node_element)
            feedtext::DropLayoutText(node);
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node && node != root && !node.next_sibling())
            node = node.parent();
        node = (node && node != root) ? node.next_sibling() : pugi::xml_node();
    }
}

TextBuffer PaddedCopy(const char* data, size_t size) {
    TextBuffer copy = TextBuffer::Allocate(size + kXmlCheckPadding + 1);
    if (!copy)
        return copy;
    std::memcpy(copy.get(), data, size);
    std::memset(copy.get() + size, 0, kXmlCheckPadding + 1);
    return copy;
}

bool SetError(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool CRssFeed::LoadFromMemory(const QByteArray& bytes, QString* error) {
    Clear();
    return LoadText(PaddedCopy(bytes.constData(), static_cast<size_t>(bytes.size())),
                    static_cast<size_t>(bytes.size()), error);
}

bool CRssFeed::LoadFile(const QString& path, QString* error, FileState* state) {
    Clear();
    FileBytes file;
    QString reason;
    if (!ReadRegularFile(path, kXmlCheckPadding, file, reason, state ? &state->identity : nullptr))
        return SetError(error, reason);
    if (state)
        state->hash = ContentHash(file.data.get(), file.size);
    return LoadText(std::move(file.data), file.size, error);
}

bool CRssFeed::LoadText(TextBuffer buffer, size_t size, QString* error) {
    if (!buffer)
        return SetError(error, SystemReason(ENOMEM));
    const FeedEncoding encoding = SniffEncoding(buffer.get(), size);
    if (!encoding.fault.isEmpty())
        return SetError(error, encoding.fault);
    size_t start = encoding.bomSize;
    size -= start;
    if (encoding.kind != FeedEncodingKind::Utf8) {
        DecodedText decoded;
        DecodeFault fault;
        if (!DecodeToUtf8(encoding, buffer.get() + start, size, kXmlCheckPadding, decoded, fault)) {
            if (encoding.kind == FeedEncodingKind::Legacy && fault.reason.startsWith(u"unknown"))
                return SetError(error, fault.reason);
            return SetError(error, QStringLiteral("not well-formed XML (line %1, column %2, byte "
                                                  "offset %3): %4")
                                       .arg(fault.line)
                                       .arg(fault.column)
                                       .arg(fault.byteOffset + encoding.bomSize)
                                       .arg(fault.reason));
        }
        buffer = std::move(decoded.bytes);
        start = 0;
        size = decoded.size;
    }
    char* text = buffer.get() + start;
    XmlCheck check = CheckXml(text, size);
    if (!check.ok)
        return SetError(error, NotWellFormed(Position(text, size, check.errorOffset), check.error));
    if (!check.entityUses.empty()) {
        std::string expanded;
        ExpansionMap map;
        XmlCheck failure;
        if (!ExpandEntities(text, size, check, std::max(kEntityExpansionBytes, size), expanded, map,
                            failure))
            return SetError(
                error, NotWellFormed(Position(text, size, failure.errorOffset), failure.error));
        TextBuffer expandedBuffer = PaddedCopy(expanded.data(), expanded.size());
        if (!expandedBuffer)
            return SetError(error, SystemReason(ENOMEM));
        XmlCheck again = CheckXml(expandedBuffer.get(), expanded.size());
        if (!again.ok || !again.entityUses.empty())
            return SetError(error,
                            NotWellFormed(Position(text, size, map.SourceOffset(again.errorOffset)),
                                          again.ok ? std::string("an entity is used where it "
                                                                 "cannot be expanded")
                                                   : again.error + " (in the text of an entity)"));
        check = std::move(again);
        buffer = std::move(expandedBuffer);
        text = buffer.get();
        size = expanded.size();
    }
    bool crlf = false;
    if (check.hasCarriageReturn)
        size = NormalizeLineEnds(text, size, crlf);
    const unsigned int options =
        kParseOptions |
        (check.keepsBlankText ? pugi::parse_ws_pcdata : pugi::parse_ws_pcdata_single);
    const pugi::xml_parse_result result =
        load_buffer_inplace(text, size, options, pugi::encoding_utf8);
    if (!result) {
        Clear();
        return SetError(error, NotWellFormed(QStringLiteral("byte offset %1").arg(result.offset),
                                             result.description()));
    }
    // The declaration, if any, must name the encoding the text was read in.
    const pugi::xml_node declaration = first_child();
    if (declaration.type() == pugi::node_declaration && encoding.kind != FeedEncodingKind::Legacy) {
        const QByteArray declared = QByteArray(declaration.attribute("encoding").value()).toLower();
        const bool utf16 = encoding.kind != FeedEncodingKind::Utf8;
        const bool agrees = declared.isEmpty() ||
                            (utf16 ? declared.startsWith("utf-16") || declared == "ucs-2" ||
                                         declared == "iso-10646-ucs-2" || declared == "unicode"
                                   : declared == "utf-8" || declared == "utf8");
        if (!agrees) {
            Clear();
            return SetError(error,
                            QStringLiteral("the file has a UTF-16 byte-order mark but declares "
                                           "the encoding %1")
                                .arg(QString::fromUtf8(declaration.attribute("encoding").value())));
        }
    }
    if (check.keepsBlankText || check.hasIgnorableText)
        RemoveIgnorableBlanks(*this);
    m_text = std::move(buffer);
    RebuildIndex();
    m_bom = encoding.bomSize > 0;
    m_lineEnds = crlf ? LineEnds::CrLf : LineEnds::Lf;
    m_encodingKind = static_cast<int>(encoding.kind);
    m_encoding = encoding.kind == FeedEncodingKind::Legacy    ? QString::fromLatin1(encoding.name)
                 : encoding.kind == FeedEncodingKind::Utf16LE ? QStringLiteral("UTF-16LE")
                 : encoding.kind == FeedEncodingKind::Utf16BE ? QStringLiteral("UTF-16BE")
                                                              : QString();
    return true;
}

bool CRssFeed::PrintTo(QByteArray& out, bool forFile, QString* error) const {
    const auto kind =
        forFile ? static_cast<FeedEncodingKind>(m_encodingKind) : FeedEncodingKind::Utf8;
    PrintOptions options;
    options.crlf = forFile && m_lineEnds == LineEnds::CrLf;
    std::unique_ptr<LegacyEncoder> encoder;
    if (kind == FeedEncodingKind::Legacy) {
        encoder = std::make_unique<LegacyEncoder>(m_encoding.toLatin1());
        if (!encoder->IsValid())
            return SetError(error, QStringLiteral("unknown encoding \"%1\"").arg(m_encoding));
        options.encoder = encoder.get();
    }
    std::string text;
    if (forFile && m_bom && kind == FeedEncodingKind::Utf8)
        text = "\xEF\xBB\xBF";
    if (!PrintDocument(*this, options, text, error))
        return false;
    switch (kind) {
    case FeedEncodingKind::Utf8:
        out = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
        return true;
    case FeedEncodingKind::Utf16LE:
    case FeedEncodingKind::Utf16BE:
        out = EncodeUtf16(text, kind == FeedEncodingKind::Utf16BE);
        return true;
    case FeedEncodingKind::Legacy: {
        QString reason;
        if (!encoder->Encode(text, out, reason))
            return SetError(error, reason);
        return true;
    }
    }
    return false;
}

QByteArray CRssFeed::SaveToMemory() const {
    QByteArray bytes;
    PrintTo(bytes, true, nullptr);
    return bytes;
}

QByteArray CRssFeed::PrintToText() const {
    QByteArray bytes;
    PrintTo(bytes, false, nullptr);
    return bytes;
}

bool CRssFeed::SaveFile(const QString& path, QString* error, FileState* state) const {
    QByteArray bytes;
    if (!PrintTo(bytes, true, error))
        return false;
    // Written beside the target and renamed over it once every byte is on
    // disk, so a failed save (a full disk too) leaves the old file as it was.
    if (!WriteFileAtomically(path, bytes, error))
        return false;
    if (state) {
        state->identity = StatFileIdentity(path);
        state->hash = ContentHash(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return true;
}
