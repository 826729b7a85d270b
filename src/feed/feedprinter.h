// Printing the tree as XML text. Element-only content gets the four-blank
// indentation, one element a line; an element with text of its own (mixed
// content such as <p>Hello <b>bold</b> world</p>) is printed exactly as it
// stands, down to its last descendant. Nothing printed can be refused by a
// conforming parser: text that would end a CDATA section or that the target
// encoding cannot hold is written as references.
#pragma once

#include <QString>
#include <pugixml.hpp>
#include <string>

class LegacyEncoder;

// Indentation stops growing at this depth, so a deeply nested file cannot
// make its saved form many times its size.
constexpr int kMaxIndentLevels = 32;

struct PrintOptions {
    // Each LF written becomes CR LF.
    bool crlf = false;
    // When set, characters it cannot hold are written as references.
    const LegacyEncoder* encoder = nullptr;
};

// Appends the document's text (UTF-8) to out; false, with the reason, when a
// character the encoder cannot hold stands where no reference may go (a
// name, a comment).
bool PrintDocument(const pugi::xml_node& document, const PrintOptions& options, std::string& out,
                   QString* error);

// True when the element's children are laid out one a line: it has element
// children and no text or CDATA of its own.
bool IsElementOnly(const pugi::xml_node& element);
