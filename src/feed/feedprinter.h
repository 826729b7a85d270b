// Printing the tree as XML text. Element-only content gets the four-blank
// indentation, one element a line; an element with text of its own (mixed
// content such as <p>Hello <b>bold</b> world</p>) is printed exactly as it
// stands, down to its last descendant. Nothing printed can be refused by a
// conforming parser: text that would end a CDATA section or that the target
// encoding cannot hold is written as references.
#pragma once

#include <QString>
#include <memory>
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

// Prints a document a part at a time, for a caller that must not hold its
// thread for the whole of a large tree. The parts, one after the other, are
// exactly what PrintDocument gives. The tree must not change between parts
// (start a new printer when it did), and the encoder must outlive the printer.
class DocumentPrinter final {
public:
    DocumentPrinter(const pugi::xml_node& document, const PrintOptions& options);
    ~DocumentPrinter();
    DocumentPrinter(const DocumentPrinter&) = delete;
    DocumentPrinter& operator=(const DocumentPrinter&) = delete;

    enum class Step { More, Done, Failed };
    // Appends the text of up to nodes more nodes (an element's start tag,
    // its end tag and each leaf count as one) to out. After Failed, out may
    // hold part of the text and Error says why.
    Step Print(std::string& out, size_t nodes);
    const QString& Error() const;

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
    bool m_crlf;
    std::string m_scratch;
};

// True when the element's children are laid out one a line: it has element
// children and no text or CDATA of its own.
bool IsElementOnly(const pugi::xml_node& element);
