#include "rowicons.h"

#include "postsbarcommands.h"

#include <QApplication>
#include <QMap>
#include <QMimeDatabase>
#include <QStyle>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// A web address with a scheme and a server, as the address parser accepts it.
bool IsInternetUrl(const QString& link) {
    const QUrl url(link, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

QIcon ProgramIcon(const QString& name) {
    InitPostsBarResources();
    QIcon icon;
    icon.addFile(u":/postsbar/"_s + name + u"_16.png"_s, QSize(16, 16));
    icon.addFile(u":/postsbar/"_s + name + u"_32.png"_s, QSize(32, 32));
    return icon;
}

QIcon DesktopIcon(const QString& key) {
    static const QMimeDatabase db;
    QMimeType type;
    // A key holding a path separator past its first character names a file.
    if (key.indexOf(u'\\', 1) > 0)
        type =
            db.mimeTypeForFile(key.mid(key.lastIndexOf(u'\\') + 1), QMimeDatabase::MatchExtension);
    else
        type = db.mimeTypeForFile(u"file"_s + key, QMimeDatabase::MatchExtension);
    QIcon icon;
    if (type.isValid() && !type.isDefault()) {
        icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(type.genericIconName());
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(u"text-x-generic"_s);
    // Without an icon theme every file type shows the style's plain file.
    if (icon.isNull() && qApp)
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

} // namespace

QString RowIconKey(const QString& link) {
    if (link.isEmpty())
        return QString();
    const qsizetype dot = link.lastIndexOf(u'.');
    QString key = dot > 0 ? link.mid(dot) : QString();
    if (key.isEmpty()) {
        key = u"."_s;
    } else {
        const qsizetype hash = key.indexOf(u'#');
        if (hash >= 0)
            key.truncate(hash);
        for (const auto page : {u".htm", u".html", u".shtml", u".php"}) {
            if (key.compare(page, Qt::CaseInsensitive) == 0)
                key = u".htm"_s;
        }
        key = key.toLower();
    }
    if (key.size() < 7) {
        static const QString punctuation = u".?0123456789&"_s;
        qsizetype from = 0;
        qsizetype to = key.size();
        while (from < to && punctuation.contains(key.at(from)))
            ++from;
        while (to > from && punctuation.contains(key.at(to - 1)))
            --to;
        if (from == to && IsInternetUrl(link))
            key = u".htm"_s;
    } else if (IsInternetUrl(link)) {
        key = u".htm"_s;
    }
    return key;
}

QIcon RowIconForKey(const QString& key) {
    if (key.isEmpty())
        return QIcon();
    // Ordered by plain code-unit comparison of the keys, seeded with the program's images.
    static QMap<QString, QIcon> icons = {
        {u".htm"_s, ProgramIcon(u"page_htm"_s)},
        {u".zip"_s, ProgramIcon(u"archive_zip"_s)},
    };
    auto it = icons.constFind(key);
    if (it != icons.constEnd())
        return *it;
    const QIcon icon = DesktopIcon(key);
    if (!icon.isNull())
        icons.insert(key, icon);
    return icon;
}
