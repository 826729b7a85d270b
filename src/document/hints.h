// The notifications a feed document sends to its views, its frame's bars and
// its history, and what a hint carries.
#pragma once

#include <QString>

// Hint codes of CRSSEditDoc::NotifyViews. The param is a post index unless
// said otherwise.
enum DocHint : int {
    // Show post param in the editor; the document stores the post it leaves first.
    HintSelectPost = 3,
    // The editor writes its pending changes of post param back (only if it has any).
    HintStorePost = 4,
    // A post was inserted as post 0 and is the current post.
    HintPostsInserted = 5,
    // The posts list starts in-place editing of the current post's title.
    HintRenamePost = 6,
    // The title of post param changed (in-place rename or title edit).
    HintTitleChanged = 7,
    // Post param was removed.
    HintPostDeleted = 8,
    // The posts list asks the editor to take the focus.
    HintFocusEditor = 9,
    // param.text becomes the current post's description.
    HintSetDescription = 10,
    // A field of post param other than its title and body changed (the
    // editor's link or author, a post property): the list shows it anew.
    HintLinkOrAuthorChanged = 11,
    // Like HintStorePost, but stored whether or not it changed, without marking.
    HintStorePostQuietly = 12,
    // The whole tree was replaced.
    HintFeedLoaded = 13,
    // The posts list re-sorts with the document's sort mode.
    HintSortChanged = 14,
    // The posts list shows its filter box, or removes it.
    HintToggleFilter = 15,
};

// What a hint carries: a post index, or for HintSetDescription a text.
struct HintParam {
    HintParam(int postIndex = 0) : post(postIndex) {}
    HintParam(const QString& textValue) : text(textValue) {}

    int post = 0;
    QString text;
};
