// What the posts bar and the preview need to show commands in their popup
// menus, and the resources they draw with.
#pragma once

#include <QString>

// Makes the bars' images available; a static library's resources are only
// linked in when someone calls this once (the program and the tests do).
void InitPostsBarResources();

// Menu text of a command the bars' popup menus offer (with its mnemonic).
QString PostsBarCommandText(int id);
