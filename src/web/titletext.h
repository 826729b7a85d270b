// Turning the raw text of a title element into the title shown to the user.
#pragma once

#include <QString>

// Numeric references and the HTML named entities become their characters;
// references that name nothing stay as written.
QString decodeCharacterReferences(const QString& text);

// The fixed replacements sites are known to need, then every remaining
// reference decoded, then spaces trimmed from both ends.
QString cleanTitle(const QString& text);
