#include "web/charsetcodepages.h"

#include <QFile>

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <memory>

const CharsetCodePage CharsetCodePages[119] = {
    {"utf-8", 65001},
    {"windows-1251", 1251},
    {"windows-1250", 1250},
    {"iso-8859-2", 28592},
    {"windows-1256", 1256},
    {"iso-8859-5", 28595},
    {"koi8-r", 20866},
    {"koi8-u", 21866},
    {"windows-1253", 1253},
    {"iso-8859-8-i", 38598},
    {"iso-8859-8", 28598},
    {"asmo-708", 708},
    {"dos-720", 720},
    {"iso-8859-6", 28596},
    {"x-mac-arabic", 10004},
    {"ibm775", 775},
    {"iso-8859-4", 28594},
    {"windows-1257", 1257},
    {"ibm852", 852},
    {"x-mac-ce", 10029},
    {"euc-cn", 51936},
    {"gb2312", 936},
    {"hz-gb-2312", 52936},
    {"x-mac-chinesesimp", 10008},
    {"big5", 950},
    {"x-chinese-cns", 20000},
    {"x-chinese-eten", 20002},
    {"x-mac-chinesetrad", 10002},
    {"cp866", 866},
    {"x-mac-cyrillic", 10007},
    {"x-europa", 29001},
    {"x-ia5-german", 20106},
    {"ibm737", 737},
    {"iso-8859-7", 28597},
    {"x-mac-greek", 10006},
    {"ibm869", 869},
    {"dos-862", 862},
    {"x-mac-hebrew", 10005},
    {"windows-1255", 1255},
    {"x-ebcdic-arabic", 20420},
    {"x-ebcdic-cyrillicrussian", 20880},
    {"x-ebcdic-cyrillicserbianbulgarian", 21025},
    {"x-ebcdic-denmarknorway", 20277},
    {"x-ebcdic-denmarknorway-euro", 1142},
    {"x-ebcdic-finlandsweden", 20278},
    {"x-ebcdic-finlandsweden-euro", 1143},
    {"x-ebcdic-finlandsweden-euro", 1143},
    {"x-ebcdic-france-euro", 1147},
    {"x-ebcdic-germany", 20273},
    {"x-ebcdic-germany-euro", 1141},
    {"x-ebcdic-greekmodern", 875},
    {"x-ebcdic-greek", 20423},
    {"x-ebcdic-hebrew", 20424},
    {"x-ebcdic-icelandic", 20871},
    {"x-ebcdic-icelandic-euro", 1149},
    {"x-ebcdic-international-euro", 1148},
    {"x-ebcdic-italy", 20280},
    {"x-ebcdic-italy-euro", 1144},
    {"x-ebcdic-japaneseandkana", 50930},
    {"x-ebcdic-japaneseandjapaneselatin", 50939},
    {"x-ebcdic-japaneseanduscanada", 50931},
    {"x-ebcdic-japanesekatakana", 20290},
    {"x-ebcdic-koreanandkoreanextended", 50933},
    {"x-ebcdic-koreanextended", 20833},
    {"cp870", 870},
    {"x-ebcdic-simplifiedchinese", 50935},
    {"x-ebcdic-spain", 20284},
    {"x-ebcdic-spain-euro", 1145},
    {"x-ebcdic-thai", 20838},
    {"x-ebcdic-traditionalchinese", 50937},
    {"cp1026", 1026},
    {"x-ebcdic-turkish", 20905},
    {"x-ebcdic-uk", 20285},
    {"x-ebcdic-uk-euro", 1146},
    {"ebcdic-cp-us", 37},
    {"x-ebcdic-cp-us-euro", 1140},
    {"ibm861", 861},
    {"x-mac-icelandic", 10079},
    {"x-iscii-as", 57006},
    {"x-iscii-be", 57003},
    {"x-iscii-de", 57002},
    {"x-iscii-gu", 57010},
    {"x-iscii-ka", 57008},
    {"x-iscii-ma", 57009},
    {"x-iscii-or", 57007},
    {"x-iscii-pa", 57011},
    {"x-iscii-ta", 57004},
    {"x-iscii-te", 57005},
    {"euc-jp", 51932},
    {"iso-2022-jp", 50220},
    {"iso-2022-jp", 50222},
    {"csiso2022jp", 50221},
    {"x-mac-japanese", 10001},
    {"shift_jis", 932},
    {"ks_c_5601-1987", 949},
    {"euc-kr", 51949},
    {"iso-2022-kr", 50225},
    {"johab", 1361},
    {"x-mac-korean", 10003},
    {"iso-8859-3", 28593},
    {"iso-8859-15", 28605},
    {"x-ia5-norwegian", 20108},
    {"ibm437", 437},
    {"x-ia5-swedish", 20107},
    {"windows-874", 874},
    {"ibm857", 857},
    {"iso-8859-9", 28599},
    {"x-mac-turkish", 10081},
    {"windows-1254", 1254},
    {"unicode", 1200},
    {"unicodefffe", 1201},
    {"utf-7", 65000},
    {"us-ascii", 20127},
    {"windows-1258", 1258},
    {"ibm850", 850},
    {"x-ia5", 20105},
    {"macintosh", 10000},
    {"windows-1252", 1252},
    {"iso-8859-1", 1252},
};

int charsetToCodePage(const QString& name) {
    const QByteArray wanted = name.toLatin1().toLower();
    for (const CharsetCodePage& row : CharsetCodePages) {
        if (wanted == row.name)
            return row.codePage;
    }
    return -1;
}

const char* codePageToCharset(int codePage) {
    for (const CharsetCodePage& row : CharsetCodePages) {
        if (row.codePage == codePage)
            return row.name;
    }
    return nullptr;
}

namespace {

// Names the detector reports that the table spells otherwise.
int detectedNameToCodePage(const QByteArray& detected) {
    const QByteArray name = detected.toLower();
    if (name == "utf-16le")
        return 1200;
    if (name == "utf-16be")
        return 1201;
    if (name == "gb18030")
        return 936;
    if (name.startsWith("ibm424"))
        return 20424;
    if (name.startsWith("ibm420"))
        return 20420;
    return charsetToCodePage(QString::fromLatin1(name));
}

// By the table's name first; ICU knows many EBCDIC pages only by their IBM number.
UConverter* openConverter(int codePage) {
    const char* name = codePageToCharset(codePage);
    if (!name)
        return nullptr;
    const QByteArray number = QByteArray::number(codePage);
    const QByteArray candidates[] = {name, "windows-" + number, "cp" + number, "ibm-" + number,
                                     "ibm-" + QByteArray::number(codePage % 10000)};
    for (const QByteArray& candidate : candidates) {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open(candidate.constData(), &status);
        if (U_SUCCESS(status) && converter)
            return converter;
    }
    return nullptr;
}

QByteArray convertToUtf8(int codePage, const char* bytes, qsizetype length) {
    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(openConverter(codePage),
                                                                 ucnv_close);
    if (!converter || length == 0)
        return QByteArray();
    UErrorCode status = U_ZERO_ERROR;
    // Every byte gives at most one surrogate pair.
    QString text(length * 2, Qt::Uninitialized);
    const int32_t written = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()),
                                          int32_t(text.size()), bytes, int32_t(length), &status);
    if (U_FAILURE(status))
        return QByteArray();
    text.truncate(written);
    return text.toUtf8();
}

QByteArray utf16ToUtf8(const QByteArray& bytes, bool bigEndian) {
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto low = uchar(bytes.at(bigEndian ? i + 1 : i));
        const auto high = uchar(bytes.at(bigEndian ? i : i + 1));
        const char16_t unit = char16_t(high << 8 | low);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text.toUtf8();
}

} // namespace

int detectCodePage(const char* bytes, qsizetype length) {
    if (!bytes || length <= 0)
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status),
                                                                        ucsdet_close);
    if (U_FAILURE(status))
        return 0;
    ucsdet_enableInputFilter(detector.get(), true);
    ucsdet_setText(detector.get(), bytes, int32_t(qMin<qsizetype>(length, INT32_MAX)), &status);
    const UCharsetMatch* best = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || !best)
        return 0;
    const char* name = ucsdet_getName(best, &status);
    if (U_FAILURE(status) || !name)
        return 0;
    const int codePage = detectedNameToCodePage(QByteArray(name));
    return codePage > 0 ? codePage : 0;
}

QByteArray pageBytesToUtf8(const QByteArray& bytes, int codePage) {
    if (bytes.isEmpty())
        return QByteArray();
    if (codePage == 0)
        codePage = detectCodePage(bytes.constData(), bytes.size());
    if (codePage == 0)
        return QByteArray();
    if (codePage == 1200)
        return utf16ToUtf8(bytes, false);
    // Cutting big-endian UTF-16 at its first zero byte would leave nothing.
    if (codePage == 1201)
        return utf16ToUtf8(bytes, true);
    const qsizetype zero = bytes.indexOf('\0');
    const qsizetype length = zero < 0 ? bytes.size() : zero;
    if (codePage == 65001)
        return bytes.left(length);
    return convertToUtf8(codePage, bytes.constData(), length);
}

QByteArray pageToUtf8(const QString& filePath, int codePage) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() || bytes.size() != file.size())
        return QByteArray();
    return pageBytesToUtf8(bytes, codePage);
}
