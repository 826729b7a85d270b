// Command, string and message identifiers of the program, with the numbers the
// menus, accelerators and string table were built around. Everything that
// routes or enables a command uses these names; add new ids at the end of the
// group they belong to (or a new group at the end of the file).
#pragma once

// Commands of the framework's own ranges (file, edit, window, application).
enum FrameworkCommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    // The sixteen recent-file entries take ID_FILE_MRU_FILE1 .. ID_FILE_MRU_FILE16.
    ID_FILE_MRU_FILE1 = 57616,
    ID_FILE_MRU_FILE16 = 57631,

    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_SELECT_ALL = 57642,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,

    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,

    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,

    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,

    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// The program's own commands.
enum CommandId : int {
    ID_VIEW_RSS_POSTS = 32771,
    ID_POST_ADD = 32772,
    ID_POST_DELETE = 32773,
    ID_POST_RENAME = 32774,
    // A second "Bold" entry of the string table that no menu uses.
    ID_FORMAT_BOLD_SPARE = 32775,
    ID_FORMAT_ITALIC = 32776,
    ID_FORMAT_UNDERLINE = 32777,
    ID_FORMAT_STRIKEOUT = 32778,
    ID_FORMAT_BOLD = 32779,
    ID_INSERT_HYPERLINK = 32780,
    ID_INSERT_IMAGE = 32781,
    ID_HELP_W3C_VALIDATOR = 32782,
    ID_TOOLS_COPY_RSS_FEED = 32783,
    ID_POST_DUPLICATE = 32784,
    ID_FILE_RELOAD = 32785,
    ID_INSERT_TEST = 32786,
    ID_VIEW_PREVIEW = 32788,
    ID_HELP_WEB_SITE = 32789,
    ID_POST_BACK = 32790,
    ID_POST_FORWARD = 32791,
    ID_HELP_OUR_RSS_FEED = 32792,
    ID_HELP_SUPPORT = 32793,
    ID_FORMAT_UL_LIST = 32794,
    ID_FORMAT_REMOVE_SPANS = 32795,
    ID_POST_DUPLICATE_DELETE = 32796,
    ID_SORT_BY_POSITION = 32797,
    ID_SORT_BY_TITLE = 32798,
    ID_SORT_BY_DATE = 32799,
    ID_POST_COPY_TITLE = 32800,
    ID_TOOLS_OPEN_BACKUP_FOLDER = 32801,
    ID_POST_FILTERING = 32802,
    ID_FORMAT_REMOVE_NBSP = 32803,
    ID_HELP_RENDERER_HOME = 32804,
    ID_EDIT_DELETE = 32805,
    ID_POST_COPY_AS_XML = 32806,
    ID_EDIT_REPLACE_QUOTES = 32807,
    ID_FILE_RECENT_POPUP = 32808,
};

// String table entries the program shows as they stand.
enum StringId : int {
    IDS_APP_TITLE = 57344,
    IDS_IDLE_MESSAGE = 57345,
    ID_INDICATOR_CAPS = 59137,
    ID_INDICATOR_NUM = 59138,
    ID_INDICATOR_SCRL = 59139,
    IDS_RSS_ITEMS = 61446,
    IDS_PREVIEW = 61447,
    IDS_NEW_POST_TITLE = 61448,
    IDS_NEW_POST_DESCRIPTION = 61449,
    IDS_POSTS_COLUMN = 61450,
    IDS_DATE_COLUMN = 61451,
    IDS_DELETE_POST_QUESTION = 61452,
    IDS_LINK_PLACEHOLDER = 61453,
};

// Message and event numbers that travel between parts of the program.
enum MessageId : int {
    // A fetched page title handed to the main window (the application range's base plus 2).
    WM_TITLE_FETCHED = 32770,
    // Hyperlink click in an HTML surface.
    HTML_EVENT_HYPERLINK_CLICK = 32896,
    // First id of the window system commands; menu ids from here on are system commands.
    SC_FIRST_SYSTEM_COMMAND = 61440,
    // Move the window by its caption (SC_MOVE plus HTCAPTION).
    SC_DRAG_MOVE = 61458,
};

// Commands of the desktop shell: the help window and moving between the
// windows of open feeds. A range of their own, apart from the groups above.
enum ShellCommandId : int {
    ID_HELP_CONTENTS = 33100,
    ID_WINDOW_NEXT = 33101,
    ID_WINDOW_PREVIOUS = 33102,
};

// Publishing a feed to its web server. A range of its own, apart from the groups above.
enum PublishCommandId : int {
    ID_FILE_PUBLISH = 33200,
    ID_FILE_PUBLISH_SETTINGS = 33201,
};

// The feed validator's commands: a range of their own, after publishing's.
enum ProblemsCommandId : int {
    ID_TOOLS_VALIDATE_FEED = 33300,
};

// Properties of the feed and its posts beyond the editor's four fields.
enum PropertiesCommandId : int {
    ID_FEED_PROPERTIES = 33400,
};
