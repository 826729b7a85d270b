#include "platform/settingsfile.h"

#include "platform/atomicfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QThread>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The Windows functions read at most this many characters into their buffer.
constexpr qsizetype kMaxProfileText = 260;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView TrimBlanks(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool SameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// Escapes that a key decodes anywhere.
std::optional<QChar> KeyCode(QStringView code) {
    static const struct {
        char16_t code[3];
        char16_t ch;
    } codes[] = {{u"25", u'%'}, {u"3D", u'='},  {u"3B", u';'}, {u"5B", u'['},
                 {u"5D", u']'}, {u"0A", u'\n'}, {u"0D", u'\r'}};
    for (const auto& c : codes)
        if (code == QStringView(c.code, 2))
            return QChar(c.ch);
    return std::nullopt;
}

// Escapes of the blanks a reader would trim: only meaningful at either end of a key.
std::optional<QChar> EdgeCode(QStringView code) {
    if (code == u"20")
        return QChar(u' ');
    if (code == u"09")
        return QChar(u'\t');
    return std::nullopt;
}

QString EncodeKey(const QString& key) {
    QString out;
    out.reserve(key.size() + 8);
    const qsizetype n = key.size();
    for (qsizetype j = 0; j < n; ++j) {
        const QChar c = key[j];
        const bool edge = j == 0 || j == n - 1;
        if (edge && c == u' ') {
            out += u"%20";
        } else if (edge && c == u'\t') {
            out += u"%09";
        } else if (c == u'=') {
            out += u"%3D";
        } else if (c == u';') {
            out += u"%3B";
        } else if (c == u'[') {
            out += u"%5B";
        } else if (c == u']') {
            out += u"%5D";
        } else if (c == u'\n') {
            out += u"%0A";
        } else if (c == u'\r') {
            out += u"%0D";
        } else if (c == u'%' && j + 2 < n) {
            // A literal "%" is escaped only where the reader would take it for an escape.
            const QStringView code = QStringView(key).mid(j + 1, 2);
            const bool misread = KeyCode(code) || (EdgeCode(code) && (j == 0 || j + 2 == n - 1));
            out += misread ? u"%25"_s : u"%"_s;
        } else {
            out += c;
        }
    }
    return out;
}

QString DecodeKey(QStringView raw) {
    QString out;
    out.reserve(raw.size());
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (raw[i] == u'%' && i + 2 < n) {
            const QStringView code = raw.mid(i + 1, 2);
            std::optional<QChar> c = KeyCode(code);
            if (!c && (i == 0 || i + 3 == n))
                c = EdgeCode(code);
            if (c) {
                out += *c;
                i += 2;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

std::optional<QChar> ValueCode(QStringView code) {
    if (code == u"0A")
        return QChar(u'\n');
    if (code == u"0D")
        return QChar(u'\r');
    if (code == u"25")
        return QChar(u'%');
    return std::nullopt;
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

QString EncodeValue(const QString& value) {
    QString out;
    out.reserve(value.size() + 2);
    const qsizetype n = value.size();
    for (qsizetype j = 0; j < n; ++j) {
        const QChar c = value[j];
        if (c == u'\n')
            out += u"%0A";
        else if (c == u'\r')
            out += u"%0D";
        else if (c == u'%' && j + 2 < n && ValueCode(QStringView(value).mid(j + 1, 2)))
            out += u"%25";
        else
            out += c;
    }
    // The reader trims blanks and strips one pair of matching quotes, as Windows does.
    if (!out.isEmpty() && (IsBlank(out.front()) || IsBlank(out.back()) ||
                           (out.size() >= 2 && IsQuote(out.front()) && out.front() == out.back())))
        out = u'"' + out + u'"';
    return out;
}

QString DecodeValue(QStringView raw) {
    if (raw.size() >= 2 && IsQuote(raw.front()) && raw.front() == raw.back())
        raw = raw.mid(1, raw.size() - 2);
    QString out;
    out.reserve(raw.size());
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (raw[i] == u'%' && i + 2 < n) {
            if (const std::optional<QChar> c = ValueCode(raw.mid(i + 1, 2))) {
                out += *c;
                i += 2;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

struct ParsedLine {
    enum Kind { Other, Header, Entry } kind = Other;
    QString name;
    QString value;
};

ParsedLine ParseLine(const QString& line) {
    ParsedLine p;
    const QStringView t = TrimBlanks(line);
    if (t.isEmpty() || t.front() == u';')
        return p;
    if (t.front() == u'[') {
        const qsizetype end = t.indexOf(u']');
        p.kind = ParsedLine::Header;
        p.name = DecodeKey(TrimBlanks(end < 0 ? t.mid(1) : t.mid(1, end - 1)));
        return p;
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0)
        return p;
    const QStringView key = TrimBlanks(t.left(eq));
    if (key.isEmpty())
        return p;
    p.kind = ParsedLine::Entry;
    p.name = DecodeKey(key);
    p.value = DecodeValue(TrimBlanks(t.mid(eq + 1)));
    return p;
}

QString EntryLine(const QString& key, const QString& value) {
    return EncodeKey(key) + u'=' + EncodeValue(value);
}

QString HeaderLine(const QString& section) {
    return u'[' + EncodeKey(section) + u']';
}

// The file as lines, with what it takes to write it back the way it was.
struct IniText {
    QStringList lines;
    bool crlf = false;
    bool bom = false;
};

// False when the file exists but cannot be read: a writer must then leave it alone.
bool LoadIni(const QString& path, IniText& ini) {
    QFile f(path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return false;
    QString text;
    if (data.startsWith("\xEF\xBB\xBF")) {
        ini.bom = true;
        text = QString::fromUtf8(data.mid(3));
    } else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        // A file saved by a Windows editor in UTF-16; it is written back as UTF-8.
        QStringDecoder decode(data.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        text = decode(data.mid(2));
    } else {
        QStringDecoder utf8(QStringConverter::Utf8);
        text = utf8(data);
        // A hand-edited file in a single-byte encoding keeps its characters
        // instead of turning into replacement marks when written back.
        if (utf8.hasError())
            text = QString::fromLatin1(data);
    }
    ini.lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        ini.lines.removeLast();
    ini.crlf = !ini.lines.isEmpty() && ini.lines.front().endsWith(u'\r');
    for (QString& line : ini.lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return true;
}

bool SaveIni(const QString& path, const IniText& ini) {
    const QString eol = ini.crlf ? u"\r\n"_s : u"\n"_s;
    QString text;
    for (const QString& line : ini.lines) {
        text += line;
        text += eol;
    }
    QByteArray data = text.toUtf8();
    if (ini.bom)
        data.prepend("\xEF\xBB\xBF");
    return WriteFileAtomically(path, data);
}

// Sets (or with no value removes) one key; later copies of the key in the section go.
QStringList SetKey(const QStringList& lines, const QString& section, const QString& key,
                   const std::optional<QString>& value) {
    QStringList out;
    out.reserve(lines.size() + 3);
    bool inSection = false;
    bool inFirstBlock = false;
    bool found = false;
    qsizetype insertAt = -1;
    for (const QString& line : lines) {
        const ParsedLine p = ParseLine(line);
        if (p.kind == ParsedLine::Header) {
            inSection = SameName(p.name, section);
            inFirstBlock = inSection && insertAt < 0;
            out << line;
            if (inFirstBlock)
                insertAt = out.size();
            continue;
        }
        if (p.kind == ParsedLine::Entry && inSection && SameName(p.name, key)) {
            if (found || !value)
                continue;
            found = true;
            // The key keeps its spelling in the file; an unchanged value keeps the line as written.
            out << (p.value == *value ? line : EntryLine(p.name, *value));
        } else {
            out << line;
        }
        if (p.kind == ParsedLine::Entry && inFirstBlock)
            insertAt = out.size();
    }
    if (!found && value) {
        if (insertAt >= 0) {
            out.insert(insertAt, EntryLine(key, *value));
        } else {
            if (!out.isEmpty() && !TrimBlanks(out.back()).isEmpty())
                out << QString();
            out << HeaderLine(section) << EntryLine(key, *value);
        }
    }
    return out;
}

QStringList ReplaceSection(const QStringList& lines, const QString& section,
                           const QList<QPair<QString, QString>>& entries) {
    QStringList out;
    out.reserve(lines.size() + entries.size() + 2);
    bool inSection = false;
    qsizetype insertAt = -1;
    for (const QString& line : lines) {
        const ParsedLine p = ParseLine(line);
        if (p.kind == ParsedLine::Header) {
            inSection = SameName(p.name, section);
            out << line;
            if (inSection && insertAt < 0)
                insertAt = out.size();
            continue;
        }
        if (p.kind == ParsedLine::Entry && inSection)
            continue;
        out << line;
    }
    QStringList fresh;
    for (const auto& [key, value] : entries)
        if (!key.isEmpty())
            fresh << EntryLine(key, value);
    if (insertAt >= 0) {
        for (qsizetype i = 0; i < fresh.size(); ++i)
            out.insert(insertAt + i, fresh[i]);
    } else if (!fresh.isEmpty()) {
        if (!out.isEmpty() && !TrimBlanks(out.back()).isEmpty())
            out << QString();
        out << HeaderLine(section) << fresh;
    }
    return out;
}

// One read-modify-write under a lock shared by every instance of the program
// (the lock file) and by every thread of this one (the mutex).
// One for every kind of change: a static inside the template would give each
// caller's lambda a mutex of its own.
QMutex g_writersMutex;

template <typename Change> bool ModifyIni(const QString& path, Change change) {
    const QMutexLocker guard(&g_writersMutex);
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QLockFile lock(path + u".lock"_s);
    // Short polls of our own: QLockFile's own wait doubles its sleep up to seconds.
    const QDeadlineTimer deadline(10000);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(2);
    }
    IniText ini;
    if (!LoadIni(path, ini))
        return false;
    const QStringList changed = change(ini.lines);
    if (changed == ini.lines)
        return true;
    ini.lines = changed;
    return SaveIni(path, ini);
}

using Entries = QList<QPair<QString, QString>>;

// The keys of a section in file order, a repeated key once with its first value.
Entries EntriesIn(const QStringList& lines, const QString& section, const QString* onlyKey) {
    Entries result;
    QSet<QString> seen;
    bool inSection = false;
    for (const QString& line : lines) {
        const ParsedLine p = ParseLine(line);
        if (p.kind == ParsedLine::Header) {
            inSection = SameName(p.name, section);
        } else if (p.kind == ParsedLine::Entry && inSection) {
            if (onlyKey) {
                if (SameName(p.name, *onlyKey)) {
                    result.append({p.name, p.value});
                    return result;
                }
                continue;
            }
            const QString folded = p.name.toCaseFolded();
            if (seen.contains(folded))
                continue;
            seen.insert(folded);
            result.append({p.name, p.value});
        }
    }
    return result;
}

Entries ReadEntries(const QString& file, const QString& section, const QString* onlyKey) {
    IniText ini;
    if (file.isEmpty() || !LoadIni(file, ini))
        return {};
    return EntriesIn(ini.lines, section, onlyKey);
}

} // namespace

QString SettingsIniPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG path is invalid; without the variable Qt gives ~/.config
    // (or its own folder while tests run in test mode).
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + u"/Orvan/Settings.ini"_s;
}

bool WriteProfileText(const QString& file, const QString& section, const QString& key,
                      const QString& value) {
    if (section.isEmpty() || key.isEmpty())
        return false;
    return ModifyIni(file, [&](const QStringList& lines) {
        return SetKey(lines, section, key, value.isNull() ? QString(u""_s) : value);
    });
}

bool WriteProfileNumber(const QString& file, const QString& section, const QString& key,
                        int value) {
    return WriteProfileText(file, section, key, QString::number(value));
}

bool ReadProfileText(const QString& file, const QString& section, const QString& key,
                     QString& output) {
    const Entries found = ReadEntries(file, section, &key);
    if (found.isEmpty())
        return false;
    const QString& value = found.front().second;
    if (value.isEmpty() || value.size() > kMaxProfileText)
        return false;
    output = value;
    return true;
}

bool ProfileFlag(const QString& value) {
    return value.trimmed().toInt() != 0;
}

QString ProfileFlagText(bool on) {
    return on ? u"1"_s : u"0"_s;
}

int ReadProfileNumber(const QString& file, const QString& section, const QString& key,
                      int defaultValue) {
    const Entries found = ReadEntries(file, section, &key);
    if (found.isEmpty() || found.front().second.isEmpty())
        return defaultValue;
    const QString& text = found.front().second;
    qsizetype i = 0;
    bool negative = false;
    if (text[i] == u'-' || text[i] == u'+') {
        negative = text[i] == u'-';
        ++i;
    }
    // Digits accumulate with 32-bit wrap-around, as the Windows conversion does.
    quint32 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = value * 10u + quint32(text[i].unicode() - u'0');
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

QList<QPair<QString, QString>> ReadProfileSection(const QString& file, const QString& section) {
    return ReadEntries(file, section, nullptr);
}

bool DeleteProfileKey(const QString& file, const QString& section, const QString& key) {
    if (section.isEmpty() || key.isEmpty())
        return false;
    return ModifyIni(
        file, [&](const QStringList& lines) { return SetKey(lines, section, key, std::nullopt); });
}

bool ReplaceProfileSection(const QString& file, const QString& section,
                           const QList<QPair<QString, QString>>& entries) {
    if (section.isEmpty())
        return false;
    return ModifyIni(
        file, [&](const QStringList& lines) { return ReplaceSection(lines, section, entries); });
}

bool UpdateProfileSection(const QString& file, const QString& section,
                          const std::function<Entries(const Entries&)>& change) {
    if (section.isEmpty() || !change)
        return false;
    return ModifyIni(file, [&](const QStringList& lines) {
        return ReplaceSection(lines, section, change(EntriesIn(lines, section, nullptr)));
    });
}
