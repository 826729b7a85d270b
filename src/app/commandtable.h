// The program's commands as the desktop shows them: menu text, status-bar
// prompt, tooltip, icon and keys, looked up by command id.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

struct CommandInfo {
    int id = 0;
    // Menu text with its mnemonic.
    QString text;
    // Shown in the status bar while the item is highlighted.
    QString prompt;
    QString toolTip;
    // Icon name of the freedesktop icon theme; empty for none.
    QString iconName;
    QList<QKeySequence> keys;
    bool checkable = false;
};

// Every command the menus, the toolbar and the accelerators use; null when
// the id is unknown.
const CommandInfo* FindCommandInfo(int id);
const QList<CommandInfo>& AllCommandInfos();

// The drop-downs of the two menu bars: 128 while no document is open, 129
// while one is. An id of 0 stands for a separator.
struct MenuInfo {
    QString title;
    QList<int> items;
};
QList<MenuInfo> MenuBarLayout(int menuResource);

// The buttons of toolbar 128 (0 for a separator).
QList<int> ToolBarLayout();
