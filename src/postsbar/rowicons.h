// The icon of a posts list row, chosen from the post's link: web pages and
// archives get the program's own images, other file types the desktop's icon
// for their type.
#pragma once

#include <QIcon>
#include <QString>

// The extension key of a link: ".htm" for web pages and site roots, ".zip",
// ".pdf" ... for files, "." for a link without an extension; empty for an
// empty link (no icon).
QString RowIconKey(const QString& link);

// The icon for a key, looked up once per key and kept for the whole process;
// a null icon for an empty key.
QIcon RowIconForKey(const QString& key);

inline QIcon RowIconForLink(const QString& link) {
    return RowIconForKey(RowIconKey(link));
}
