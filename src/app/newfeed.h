// Asks the user for the title, link and category of a new feed.
#pragma once

#include "feed/newfeedinfo.h"

class QWidget;

// False when the user cancelled; info is filled only on OK.
bool AskNewFeedInfo(QWidget* parent, NewFeedInfo& info);
