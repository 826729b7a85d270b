// The clipboard's text, as the insert dialogs read it for their suggestions.
#pragma once

#include <QString>

// The clipboard's plain text; empty when it holds none (or there is no clipboard).
QString GetClipboardText();
