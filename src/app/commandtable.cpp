#include "app/commandtable.h"

#include "platform/commandids.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

QList<QKeySequence> Keys(QKeySequence::StandardKey key) {
    return QKeySequence::keyBindings(key);
}

QList<QKeySequence> Keys(std::initializer_list<QKeyCombination> combos) {
    QList<QKeySequence> keys;
    for (QKeyCombination combo : combos)
        keys.append(QKeySequence(combo));
    return keys;
}

// Standard keys first so the menu shows the desktop's own spelling; the
// Windows keys of the accelerator table stay as extra bindings.
QList<QKeySequence> Merge(QList<QKeySequence> keys, const QList<QKeySequence>& extra) {
    for (const QKeySequence& key : extra) {
        if (!keys.contains(key))
            keys.append(key);
    }
    return keys;
}

QList<CommandInfo> BuildTable() {
    const auto ctrl = Qt::ControlModifier;
    const auto alt = Qt::AltModifier;
    const auto shift = Qt::ShiftModifier;
    QList<CommandInfo> t = {
        {ID_FILE_NEW, u"&New…"_s, u"Create a new feed"_s, u"New"_s, u"document-new"_s,
         Merge(Keys(QKeySequence::New), Keys({ctrl | Qt::Key_N}))},
        {ID_FILE_OPEN, u"&Open…"_s, u"Open an existing feed"_s, u"Open"_s, u"document-open"_s,
         Merge(Keys(QKeySequence::Open), Keys({ctrl | Qt::Key_O}))},
        {ID_FILE_CLOSE, u"&Close"_s, u"Close the active feed"_s, u"Close"_s, u"document-close"_s,
         Merge(Keys(QKeySequence::Close), Keys({ctrl | Qt::Key_W}))},
        {ID_FILE_SAVE, u"&Save"_s, u"Save the active feed"_s, u"Save"_s, u"document-save"_s,
         Merge(Keys(QKeySequence::Save), Keys({ctrl | Qt::Key_S}))},
        {ID_FILE_SAVE_AS, u"Save &As…"_s, u"Save the active feed with a new name"_s, u"Save As"_s,
         u"document-save-as"_s,
         Merge(Keys(QKeySequence::SaveAs), Keys({ctrl | shift | Qt::Key_S}))},
        // Not Ctrl+Shift+U: input methods take it for typing characters by their code.
        {ID_FILE_PUBLISH, u"P&ublish"_s,
         u"Save the feed if it has changes and upload it to its web server"_s, u"Publish"_s,
         u"document-send"_s, Keys({ctrl | shift | Qt::Key_P})},
        {ID_FILE_PUBLISH_SETTINGS,
         u"Publis&h Settings…"_s,
         u"Choose where the feed is published and how"_s,
         u"Publish Settings"_s,
         {},
         {}},
        {ID_FILE_PRINT,
         u"&Print…"_s,
         u"Print the current post"_s,
         u"Print"_s,
         u"document-print"_s,
         {}},
        {ID_FILE_PRINT_PREVIEW,
         u"Print Pre&view"_s,
         u"Display the current post as printed"_s,
         u"Print Preview"_s,
         u"document-print-preview"_s,
         {}},
        {ID_FILE_PRINT_SETUP,
         u"P&rint Setup…"_s,
         u"Change the printer and printing options"_s,
         u"Print Setup"_s,
         u"document-page-setup"_s,
         {}},
        {ID_FILE_RELOAD, u"&Reload"_s, u"Read the feed file again, dropping unsaved changes"_s,
         u"Reload"_s, u"view-refresh"_s,
         Merge(Keys(QKeySequence::Refresh), Keys({QKeyCombination(Qt::Key_F5)}))},
        {ID_APP_EXIT, u"E&xit"_s, u"Quit the application; prompts to save feeds"_s, u"Exit"_s,
         u"application-exit"_s, Merge(Keys(QKeySequence::Quit), Keys({ctrl | Qt::Key_Q}))},

        {ID_EDIT_UNDO, u"&Undo"_s, u"Undo the last action"_s, u"Undo"_s, u"edit-undo"_s,
         Merge(Keys(QKeySequence::Undo), Keys({ctrl | Qt::Key_Z, alt | Qt::Key_Backspace}))},
        {ID_EDIT_REDO, u"&Redo"_s, u"Redo the previously undone action"_s, u"Redo"_s,
         u"edit-redo"_s, Keys(QKeySequence::Redo)},
        {ID_EDIT_DELETE, u"&Delete"_s, u"Erase the selection"_s, u"Delete"_s, u"edit-delete"_s, {}},
        {ID_EDIT_CUT, u"Cu&t"_s, u"Cut the selection and put it on the clipboard"_s, u"Cut"_s,
         u"edit-cut"_s,
         Merge(Keys(QKeySequence::Cut), Keys({ctrl | Qt::Key_X, shift | Qt::Key_Delete}))},
        {ID_EDIT_COPY, u"&Copy"_s, u"Copy the selection and put it on the clipboard"_s, u"Copy"_s,
         u"edit-copy"_s,
         Merge(Keys(QKeySequence::Copy), Keys({ctrl | Qt::Key_C, ctrl | Qt::Key_Insert}))},
        {ID_POST_COPY_TITLE,
         u"Cop&y Title"_s,
         u"Copy the title of the current post"_s,
         u"Copy Title"_s,
         {},
         {}},
        {ID_POST_COPY_AS_XML,
         u"Copy Post As &XML"_s,
         u"Copy the description of the current post as XML text"_s,
         u"Copy Post As XML"_s,
         {},
         {}},
        {ID_EDIT_PASTE, u"&Paste"_s, u"Insert clipboard contents"_s, u"Paste"_s, u"edit-paste"_s,
         Merge(Keys(QKeySequence::Paste), Keys({ctrl | Qt::Key_V, shift | Qt::Key_Insert}))},
        {ID_EDIT_SELECT_ALL, u"Select &All"_s, u"Select the entire text"_s, u"Select All"_s,
         u"edit-select-all"_s, Merge(Keys(QKeySequence::SelectAll), Keys({ctrl | Qt::Key_A}))},
        {ID_EDIT_REPLACE_QUOTES,
         u"Replace &quotes"_s,
         u"Replace typographic quotes with plain ones"_s,
         u"Replace quotes"_s,
         u"edit-find-replace"_s,
         {}},

        {ID_POST_ADD, u"&Add Post"_s, u"Insert a new post at the top of the feed"_s, u"Add Post"_s,
         u"list-add"_s, Keys({ctrl | Qt::Key_D})},
        {ID_POST_RENAME,
         u"&Rename Post"_s,
         u"Edit the title of the current post"_s,
         u"Rename Post"_s,
         {},
         Keys({ctrl | Qt::Key_G})},
        {ID_POST_DUPLICATE,
         u"D&uplicate Post"_s,
         u"Insert a copy of the current post at the top"_s,
         u"Duplicate Post"_s,
         {},
         {}},
        {ID_POST_DUPLICATE_DELETE,
         u"Duplicate + D&elete"_s,
         u"Move a copy of the current post to the top and remove the original"_s,
         u"Duplicate + Delete"_s,
         {},
         {}},
        {ID_POST_DELETE,
         u"&Delete Post"_s,
         u"Remove the current post from the feed"_s,
         u"Delete Post"_s,
         u"list-remove"_s,
         {}},
        {ID_POST_BACK, u"&Back"_s, u"Go back to the previously shown post"_s, u"Back"_s,
         u"go-previous"_s, Merge(Keys(QKeySequence::Back), Keys({alt | Qt::Key_Left}))},
        {ID_POST_FORWARD, u"&Forward"_s, u"Go forward"_s, u"Forward"_s, u"go-next"_s, {}},
        {ID_SORT_BY_POSITION,
         u"Sort By &Position"_s,
         u"List the posts in file order"_s,
         u"Sort By Position"_s,
         {},
         {},
         true},
        {ID_SORT_BY_TITLE,
         u"Sort By &Title"_s,
         u"List the posts by title"_s,
         u"Sort By Title"_s,
         {},
         {},
         true},
        {ID_SORT_BY_DATE,
         u"Sort By Date &Created"_s,
         u"List the posts by publication date"_s,
         u"Sort By Date Created"_s,
         {},
         {},
         true},
        {ID_POST_FILTERING, u"&Filtering"_s, u"Show only the posts whose titles match a text"_s,
         u"Filtering (Ctrl+F)"_s, u"edit-find"_s,
         Merge(Keys(QKeySequence::Find), Keys({ctrl | Qt::Key_F})), true},

        {ID_FEED_PROPERTIES, u"&Properties…"_s,
         u"Edit the feed's title, language, image, categories and podcast settings"_s,
         u"Feed Properties"_s, u"document-properties"_s, Keys({alt | Qt::Key_Return})},

        {ID_FORMAT_BOLD, u"&Bold"_s, u"Make the selection bold"_s, u"Bold"_s, u"format-text-bold"_s,
         Keys(QKeySequence::Bold)},
        {ID_FORMAT_ITALIC, u"&Italic"_s, u"Make the selection italic"_s, u"Italic"_s,
         u"format-text-italic"_s, Keys(QKeySequence::Italic)},
        {ID_FORMAT_UNDERLINE, u"&Underline"_s, u"Underline the selection"_s, u"Underline"_s,
         u"format-text-underline"_s, Keys(QKeySequence::Underline)},
        {ID_FORMAT_STRIKEOUT,
         u"S&trikethrough"_s,
         u"Strike the selection through"_s,
         u"Strikethrough"_s,
         u"format-text-strikethrough"_s,
         {}},
        {ID_FORMAT_UL_LIST,
         u"U&L List"_s,
         u"Make the selected paragraphs a bulleted list"_s,
         u"Bulleted List"_s,
         u"format-list-unordered"_s,
         {}},
        {ID_FORMAT_REMOVE_SPANS,
         u"Remove &SPAN and styles"_s,
         u"Remove SPAN elements and style attributes from the selection"_s,
         u"Remove SPAN and styles"_s,
         u"edit-clear"_s,
         {}},
        {ID_FORMAT_REMOVE_NBSP,
         u"Remove &&&nbsp;"_s,
         u"Replace non-breaking spaces with ordinary blanks"_s,
         u"Remove &nbsp;"_s,
         {},
         {}},

        {ID_INSERT_HYPERLINK, u"&Hyperlink…"_s, u"Insert or edit a hyperlink"_s, u"Hyperlink"_s,
         u"insert-link"_s, Keys({ctrl | Qt::Key_K})},
        {ID_INSERT_IMAGE, u"&Image…"_s, u"Insert an image"_s, u"Image"_s, u"insert-image"_s,
         Keys({ctrl | Qt::Key_L})},
        {ID_INSERT_TEST, u"Insert &Test"_s, u"Insert a test fragment"_s, u"Insert Test"_s, {}, {}},

        {ID_VIEW_TOOLBAR,
         u"&Toolbar"_s,
         u"Show or hide the toolbar"_s,
         u"Toggle ToolBar"_s,
         {},
         {},
         true},
        {ID_VIEW_STATUS_BAR,
         u"&Status Bar"_s,
         u"Show or hide the status bar"_s,
         u"Toggle StatusBar"_s,
         {},
         {},
         true},
        {ID_VIEW_RSS_POSTS,
         u"RSS &Posts"_s,
         u"Show or hide the list of posts"_s,
         u"RSS Posts"_s,
         {},
         Keys({ctrl | Qt::Key_T}),
         true},
        {ID_VIEW_PREVIEW,
         u"Pre&view"_s,
         u"Show or hide the HTML code of the current post"_s,
         u"Preview"_s,
         {},
         Keys({ctrl | Qt::Key_P}),
         true},

        {ID_TOOLS_COPY_RSS_FEED,
         u"&Copy RSS Feed"_s,
         u"Copy the whole feed as XML text to the clipboard"_s,
         u"Copy RSS Feed"_s,
         {},
         {}},
        {ID_TOOLS_OPEN_BACKUP_FOLDER,
         u"Open &Backup Folder"_s,
         u"Show the folder with the backups of this feed"_s,
         u"Open Backup Folder"_s,
         u"folder-open"_s,
         {}},

        {ID_NEXT_PANE,
         u"Next Pane"_s,
         u"Switch to the next window pane"_s,
         u"Next Pane"_s,
         {},
         Keys({QKeyCombination(Qt::Key_F6)})},
        {ID_PREV_PANE,
         u"Previous Pane"_s,
         u"Switch back to the previous window pane"_s,
         u"Previous Pane"_s,
         {},
         Keys({shift | Qt::Key_F6})},

        {ID_HELP_W3C_VALIDATOR,
         u"&W3C RSS Validator"_s,
         u"Open the W3C feed validator in your browser"_s,
         u"W3C RSS Validator"_s,
         u"emblem-default"_s,
         {}},
        {ID_TOOLS_VALIDATE_FEED, u"&Validate Feed"_s,
         u"Check the feed offline and list its problems, with fixes"_s, u"Validate Feed"_s,
         u"dialog-warning"_s, Keys({QKeyCombination(Qt::Key_F7)})},
        {ID_HELP_WEB_SITE,
         u"&Orvan Web Site"_s,
         u"Visit the Orvan home page"_s,
         u"Orvan Web Site"_s,
         u"go-home"_s,
         {}},
        {ID_HELP_OUR_RSS_FEED,
         u"Our &RSS Feed"_s,
         u"Read the news feed of Orvan"_s,
         u"Our RSS Feed"_s,
         u"application-rss+xml"_s,
         {}},
        {ID_HELP_SUPPORT,
         u"&Technical Support"_s,
         u"Ask the makers of Orvan for help"_s,
         u"Technical Support"_s,
         u"help-browser"_s,
         {}},
        {ID_HELP_RENDERER_HOME,
         u"Rendering &Library Home Page"_s,
         u"Visit the home page of the HTML rendering library"_s,
         u"Rendering Library"_s,
         {},
         {}},
        // No key: Ctrl+Alt+F1 … F12 switch the console on Linux.
        {ID_APP_ABOUT,
         u"&About Orvan…"_s,
         u"Display program information, version number"_s,
         u"About"_s,
         u"help-about"_s,
         {}},
        {ID_HELP_CONTENTS, u"Orvan &Help"_s, u"Show how to use Orvan and its keys"_s, u"Help"_s,
         u"help-contents"_s,
         Merge(Keys(QKeySequence::HelpContents), Keys({QKeyCombination(Qt::Key_F1)}))},
        {ID_WINDOW_NEXT, u"&Next Feed"_s, u"Switch to the next open feed"_s, u"Next Feed"_s,
         u"go-next"_s, Merge(Keys(QKeySequence::NextChild), Keys({ctrl | Qt::Key_Tab}))},
        {ID_WINDOW_PREVIOUS, u"&Previous Feed"_s, u"Switch to the previous open feed"_s,
         u"Previous Feed"_s, u"go-previous"_s,
         Merge(Keys(QKeySequence::PreviousChild), Keys({ctrl | shift | Qt::Key_Backtab}))},
        {ID_FILE_RECENT_POPUP,
         u"Recent Files"_s,
         u"Choose one of the recently used feeds"_s,
         u"Recent Files"_s,
         {},
         Keys({alt | Qt::Key_O})},
    };
    return t;
}

} // namespace

const QList<CommandInfo>& AllCommandInfos() {
    static const QList<CommandInfo> table = BuildTable();
    return table;
}

const CommandInfo* FindCommandInfo(int id) {
    static const QHash<int, qsizetype> index = [] {
        QHash<int, qsizetype> map;
        const QList<CommandInfo>& all = AllCommandInfos();
        for (qsizetype i = 0; i < all.size(); ++i)
            map.insert(all[i].id, i);
        return map;
    }();
    const auto it = index.constFind(id);
    return it == index.constEnd() ? nullptr : &AllCommandInfos()[*it];
}

QList<MenuInfo> MenuBarLayout(int menuResource) {
    // ID_FILE_MRU_FILE1 stands for the whole recent-file block.
    const QList<int> helpItems = {
        ID_HELP_CONTENTS, 0, ID_HELP_W3C_VALIDATOR, 0, ID_HELP_WEB_SITE, ID_HELP_OUR_RSS_FEED,
        ID_HELP_SUPPORT};
    const QList<int> viewItems = {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, 0, ID_VIEW_RSS_POSTS,
                                  ID_VIEW_PREVIEW};
    if (menuResource == 128) {
        return {
            {u"&File"_s,
             {ID_FILE_NEW, ID_FILE_OPEN, 0, ID_FILE_PRINT_SETUP, 0, ID_FILE_MRU_FILE1, 0,
              ID_APP_EXIT}},
            {u"&View"_s, viewItems},
            {u"&Help"_s, helpItems + QList<int>{ID_HELP_RENDERER_HOME, 0, ID_APP_ABOUT}},
        };
    }
    return {
        {u"&File"_s,
         {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0,
          ID_FILE_PUBLISH, ID_FILE_PUBLISH_SETTINGS, 0, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW,
          ID_FILE_PRINT_SETUP, 0, ID_FILE_RELOAD, 0, ID_FILE_MRU_FILE1, 0, ID_APP_EXIT}},
        {u"&Edit"_s,
         {ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_EDIT_DELETE, ID_EDIT_CUT, ID_EDIT_COPY,
          ID_POST_COPY_TITLE, ID_POST_COPY_AS_XML, ID_EDIT_PASTE, 0, ID_EDIT_SELECT_ALL, 0,
          ID_EDIT_REPLACE_QUOTES}},
        {u"&Posts"_s,
         {ID_POST_ADD, ID_POST_RENAME, ID_POST_DUPLICATE, ID_POST_DUPLICATE_DELETE, ID_POST_DELETE,
          0, ID_POST_BACK, ID_POST_FORWARD, 0, ID_SORT_BY_POSITION, ID_SORT_BY_TITLE,
          ID_SORT_BY_DATE, 0, ID_POST_FILTERING}},
        {u"Fee&d"_s, {ID_FEED_PROPERTIES}},
        // Alt+O is the recent-files popup, so the menu's mnemonic moves to the r.
        {u"Fo&rmat"_s,
         {ID_FORMAT_BOLD, ID_FORMAT_ITALIC, ID_FORMAT_UNDERLINE, ID_FORMAT_STRIKEOUT, 0,
          ID_FORMAT_UL_LIST, 0, ID_FORMAT_REMOVE_SPANS, ID_FORMAT_REMOVE_NBSP}},
        {u"&Insert"_s, {ID_INSERT_HYPERLINK, ID_INSERT_IMAGE, 0, ID_INSERT_TEST}},
        {u"&View"_s, viewItems},
        {u"&Tools"_s,
         {ID_TOOLS_COPY_RSS_FEED, ID_TOOLS_OPEN_BACKUP_FOLDER, 0, ID_TOOLS_VALIDATE_FEED,
          ID_HELP_W3C_VALIDATOR}},
        // Document windows are always maximised tabs: nothing to cascade or tile.
        // The open feeds follow the two items, listed when the menu opens.
        {u"&Window"_s, {ID_WINDOW_NEXT, ID_WINDOW_PREVIOUS}},
        {u"&Help"_s, helpItems + QList<int>{0, ID_APP_ABOUT}},
    };
}

QList<int> ToolBarLayout() {
    return {ID_FILE_NEW,       ID_FILE_OPEN,
            ID_FILE_SAVE,      0,
            ID_EDIT_CUT,       ID_EDIT_COPY,
            ID_EDIT_PASTE,     0,
            ID_POST_FILTERING, 0,
            ID_APP_ABOUT};
}
