// Links and images as the post body receives them: the records the two insert
// dialogs edit, the HTML text and the attribute maps built from them, and the
// check that keeps script and local-file addresses out of posts.
#pragma once

#include <QString>

#include <map>

// A hyperlink being inserted or edited.
struct LinkInfo {
    QString url;
    QString text;
    QString title;
    QString target;
};

// An image being inserted or edited; -1 marks a number attribute that is absent.
struct ImageInfo {
    QString src;
    int width = -1;
    int height = -1;
    QString alt;
    int border = -1;
    int vspace = -1;
    int hspace = -1;
    QString align;
};

// The image dialog's fields as typed; an empty one is left out of the tag.
struct ImageTagTexts {
    QString src;
    QString alt;
    QString border;
    QString hspace;
    QString vspace;
    QString align;
    QString height;
    QString width;
};

// Attribute name to value, ordered by code unit, as the editor reads and writes them.
using AttributeMap = std::map<QString, QString>;

// Text made safe between double quotes and between tags: & < > " become entities.
QString EscapeHtml(const QString& text);

// True for the addresses a post may link to or show: http, https, mailto, ftp
// and relative ones (also empty). Judged the way browsers read an attribute:
// tabs and line breaks anywhere are ignored, and so are blanks and control
// characters at either end; the scheme is compared without case.
bool IsAcceptedUrl(const QString& url);
// True for an absolute http, https or ftp address with a host, one line, as a
// suggestion taken from the clipboard must be.
bool IsSuggestibleUrl(const QString& text);
// The message a dialog shows when it refuses an address.
QString RefusedUrlMessage();

// <A HREF="url" TARGET="target" TITLE="title">text</A> and a trailing blank;
// empty target and title are left out. Every value is escaped; the text too,
// unless textIsHtml (a link wrapped around selected markup such as an image).
QString BuildLinkHtml(const LinkInfo& link, bool textIsHtml);
// <IMG SRC="src" ALT=".." BORDER=".." HSPACE=".." VSPACE=".." ALIGN=".."
// HEIGHT=".." WIDTH=".."> with the empty ones left out; every value escaped.
QString BuildImageTag(const ImageTagTexts& texts);

// href, title and target of an existing link's attributes (absent ones empty).
LinkInfo LinkInfoFromAttributes(const AttributeMap& attributes);
// What a link's edit writes back: target and title when not empty, href always.
AttributeMap LinkAttributes(const LinkInfo& link);
// An existing image's attributes; numbers read as the C library's atoi does
// ("50%" is 50, "x" is 0), each left at -1 when its text is empty.
ImageInfo ImageInfoFromAttributes(const AttributeMap& attributes);
// What an image's edit writes back: texts when not empty, numbers when not -1.
AttributeMap ImageAttributes(const ImageInfo& image);

// Leading blanks, an optional sign and decimal digits, as atoi reads them: 0
// without digits. Values beyond int are held at its bounds.
int DecimalPrefix(const QString& text);
// The same as scanf's "%d": -1 when the text holds no number at all.
int DecimalFieldValue(const QString& text);
