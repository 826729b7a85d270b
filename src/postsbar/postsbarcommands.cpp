#include "postsbarcommands.h"

#include "platform/commandids.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares a function at file scope, so it cannot sit in a namespace.
static void InitPostsBarResourceFile() {
    Q_INIT_RESOURCE(postsbar);
}

void InitPostsBarResources() {
    static const bool done = [] {
        InitPostsBarResourceFile();
        return true;
    }();
    Q_UNUSED(done);
}

QString PostsBarCommandText(int id) {
    switch (id) {
    case ID_POST_ADD:
        return QStringLiteral("&Add Post");
    case ID_POST_RENAME:
        return QStringLiteral("&Rename Post");
    case ID_POST_DUPLICATE:
        return QStringLiteral("D&uplicate Post");
    case ID_POST_DUPLICATE_DELETE:
        return QStringLiteral("Duplicate + De&lete");
    case ID_POST_DELETE:
        return QStringLiteral("&Delete Post");
    case ID_POST_BACK:
        return QStringLiteral("&Back");
    case ID_POST_FORWARD:
        return QStringLiteral("&Forward");
    case ID_SORT_BY_POSITION:
        return QStringLiteral("Sort By &Position");
    case ID_SORT_BY_TITLE:
        return QStringLiteral("Sort By &Title");
    case ID_SORT_BY_DATE:
        return QStringLiteral("Sort By Date &Created");
    case ID_POST_FILTERING:
        return QStringLiteral("F&iltering");
    case ID_POST_COPY_TITLE:
        return QStringLiteral("Copy &Title");
    case ID_POST_COPY_AS_XML:
        return QStringLiteral("Copy Post As &XML");
    case ID_EDIT_UNDO:
        return QStringLiteral("&Undo");
    case ID_EDIT_REDO:
        return QStringLiteral("&Redo");
    case ID_EDIT_DELETE:
        return QStringLiteral("&Delete");
    case ID_EDIT_CUT:
        return QStringLiteral("Cu&t");
    case ID_EDIT_COPY:
        return QStringLiteral("&Copy");
    case ID_EDIT_PASTE:
        return QStringLiteral("&Paste");
    case ID_EDIT_SELECT_ALL:
        return QStringLiteral("Select &All");
    case ID_EDIT_REPLACE_QUOTES:
        return QStringLiteral("Replace &quotes");
    default:
        return QString();
    }
}
