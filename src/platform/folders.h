// Per-user folders of the program.
#pragma once

#include <QString>

// $XDG_DATA_HOME when it is an absolute path, ~/.local/share otherwise.
// Not created here.
QString UserDataFolder();
// Creates the folder (and its parents) when missing; true when it exists.
bool EnsureFolder(const QString& path);
