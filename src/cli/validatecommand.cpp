// orvanctl validate: the feed checked offline, one finding per line in the
// form compilers use, or as JSON.
#include "clicommand.h"

#include "feed/rssfeed.h"
#include "platform/readfile.h"
#include "validate/feedvalidator.h"

#include <QFile>
#include <charconv>
#include <csignal>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Info:
        return "info";
    }
    return "error";
}

void AppendNumber(QByteArray& out, int value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr - digits);
}

// The message in UTF-8 on one line, whatever line breaks a value quoted in it
// holds; written straight into the output, as there can be a message per post.
void AppendOneLine(QByteArray& out, const QString& text) {
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    char* to = out.data() + start;
    const char16_t* from = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* end = from + text.size();
    while (from < end) {
#ifdef __SSE2__
        // Messages are mostly ASCII without line breaks: eight characters at a
        // time then.
        if (end - from >= 8) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            const __m128i high = _mm_and_si128(chunk, _mm_set1_epi16(static_cast<short>(0xFF80)));
            const __m128i narrow = _mm_packus_epi16(chunk, chunk);
            const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(narrow, _mm_set1_epi8('\n')),
                                                _mm_cmpeq_epi8(narrow, _mm_set1_epi8('\r')));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF &&
                (_mm_movemask_epi8(breaks) & 0xFF) == 0) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(to), narrow);
                to += 8;
                from += 8;
                continue;
            }
        }
#endif
        char32_t c = *from++;
        if (c < 0x80) {
            *to++ = c == '\n' || c == '\r' ? ' ' : static_cast<char>(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && from < end && QChar::isLowSurrogate(*from))
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), *from++);
        else if (QChar::isSurrogate(c))
            c = 0xFFFD;
        if (c < 0x800) {
            *to++ = static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *to++ = static_cast<char>(0xE0 | (c >> 12));
            *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            *to++ = static_cast<char>(0xF0 | (c >> 18));
            *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.truncate(to - out.constData());
}

void AppendJsonString(QByteArray& out, const QString& text) {
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[u >> 4];
            out += "0123456789abcdef"[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// The file's bytes, mapped rather than copied: the tree is loaded from a copy
// anyway, and a second copy of a large feed would cost as much as its checks.
// A file that another program cuts short while it is read would make the
// mapping fault; the process then ends with an error instead of a crash.
class MappedFile final {
public:
    ~MappedFile() {
        if (m_data) {
            std::signal(SIGBUS, SIG_DFL);
            munmap(m_data, m_size);
        }
    }
    // False for anything but a non-empty regular file that can be mapped;
    // the caller reads it the ordinary way then, which names the reason.
    bool Map(const QString& path) {
        const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            void* data =
                mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (data != MAP_FAILED) {
                m_data = data;
                m_size = static_cast<size_t>(info.st_size);
            }
        }
        close(fd);
        if (!m_data)
            return false;
        s_message = QStringLiteral("orvanctl: %1: the file was cut short while it was read\n")
                        .arg(path)
                        .toUtf8();
        std::signal(SIGBUS, OnBusError);
        return true;
    }
    QByteArray Bytes() const {
        return QByteArray::fromRawData(static_cast<const char*>(m_data),
                                       static_cast<qsizetype>(m_size));
    }

private:
    static void OnBusError(int) {
        // Only what is safe in a signal handler.
        const ssize_t written =
            write(STDERR_FILENO, s_message.constData(), static_cast<size_t>(s_message.size()));
        (void)written;
        _exit(ExitLoad);
    }

    static inline QByteArray s_message;
    void* m_data = nullptr;
    size_t m_size = 0;
};

// Feeds can give a finding in every post: the output is written into one
// buffer, piece by piece.
QByteArray FormatLines(const QString& file, const std::vector<Finding>& findings) {
    const QByteArray name = file.toUtf8();
    QByteArray out;
    out.reserve(static_cast<qsizetype>(findings.size()) * (name.size() + 160));
    for (const Finding& finding : findings) {
        out.append(name);
        out.append(':');
        AppendNumber(out, finding.line);
        out.append(':');
        AppendNumber(out, finding.column);
        out.append(": ");
        out.append(SeverityName(finding.severity()));
        out.append(": ");
        out.append(finding.id());
        out.append(": ");
        AppendOneLine(out, finding.message);
        out.append('\n');
    }
    return out;
}

QByteArray FormatJson(const QString& file, const std::vector<Finding>& findings) {
    QByteArray name;
    AppendJsonString(name, file);
    QByteArray out = "[";
    out.reserve(static_cast<qsizetype>(findings.size()) * (name.size() + 240));
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& finding = findings[i];
        out.append(i ? ",\n  {" : "\n  {");
        out.append("\"file\": ");
        out.append(name);
        out.append(", \"line\": ");
        AppendNumber(out, finding.line);
        out.append(", \"column\": ");
        AppendNumber(out, finding.column);
        out.append(", \"severity\": \"");
        out.append(SeverityName(finding.severity()));
        out.append("\", \"id\": \"");
        out.append(finding.id());
        out.append("\", \"message\": ");
        AppendJsonString(out, finding.message);
        out.append(", \"post\": ");
        if (finding.post < 0)
            out.append("null");
        else
            AppendNumber(out, finding.post);
        out.append(", \"fix\": ");
        out.append(finding.fix != FixKind::None ? "true" : "false");
        out.append('}');
    }
    out.append(findings.empty() ? "]\n" : "\n]\n");
    return out;
}

int RunValidate(const QStringList& args) {
    const QString name = QStringLiteral("validate");
    QString path;
    ValidationOptions options;
    bool json = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg == QLatin1String("--json")) {
            json = true;
        } else if (!optionsEnded && arg == QLatin1String("--location")) {
            if (i + 1 >= args.size())
                return UsageError(name);
            options.location = args[++i];
        } else if (path.isEmpty() && (optionsEnded || !arg.startsWith(QLatin1String("--")))) {
            path = arg;
        } else {
            return UsageError(name);
        }
    }
    if (path.isEmpty())
        return UsageError(name);

    // The file is read once: the tree and the lines and columns of its
    // findings come from the same bytes, whatever happens to the file meanwhile.
    MappedFile mapped;
    FileBytes file;
    QString error;
    QByteArray bytes;
    if (mapped.Map(path)) {
        bytes = mapped.Bytes();
    } else if (ReadRegularFile(path, 0, file, error)) {
        bytes = QByteArray::fromRawData(file.data.get() ? file.data.get() : "",
                                        static_cast<qsizetype>(file.size));
    } else {
        PrintError(path, error);
        return ExitLoad;
    }
    CRssFeed feed;
    std::vector<Finding> findings;
    int status = ExitOk;
    if (feed.LoadFromMemory(bytes, &error)) {
        findings = ValidateLoadedFeed(feed, bytes, options);
        for (const Finding& finding : findings) {
            if (finding.severity() == Severity::Error)
                status = ExitFailed;
        }
    } else {
        findings.push_back(LoadFailureFinding(error, bytes));
        status = ExitLoad;
    }
    PrintOutBytes(json ? FormatJson(path, findings) : FormatLines(path, findings));
    return status;
}

const CliCommand validateCommand(u"validate", u"validate FILE [--location URL] [--json]",
                                 RunValidate);

} // namespace
