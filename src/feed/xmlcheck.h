// The checking pass that runs over a feed's text before pugixml builds its
// tree. pugixml accepts much that XML forbids (duplicate attributes, two root
// elements, raw control characters, "&#0;", undeclared entities, text after
// the root); what a conforming parser refuses is refused here, with the byte
// offset of the fault. The pass also tells the loader how the tree has to be
// built: whether white-space-only text matters, and which entity references
// need their replacement text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Bytes that must follow the text, readable, the first of them 0: the pass
// reads up to thirty-two bytes at a time, some of them a few bytes ahead.
constexpr size_t kXmlCheckPadding = 64;

// No real feed nests elements anywhere near this deep; a file that does would
// only serve to exhaust the memory and stack of whatever reads it next.
constexpr int kMaxElementDepth = 1000;

struct XmlEntity {
    std::string name;
    // The replacement text: the literal with its character references
    // decoded; references to other entities are still in it.
    std::string replacement;
};

// A reference to a declared entity, in content or in an attribute value.
struct XmlEntityUse {
    size_t offset;
    size_t length;
    int entity;
    // The attribute value's quote, or 0 in content.
    char quote;
};

struct XmlCheck {
    bool ok = true;
    size_t errorOffset = 0;
    std::string error;

    // A raw CR somewhere: the text must have its line ends normalised.
    bool hasCarriageReturn = false;
    // Some white-space-only text between elements is part of mixed content,
    // so the tree must be built keeping all such text.
    bool keepsBlankText = false;
    // Some white-space-only text stands in element-only content and will be
    // in the tree (written as references, or kept for the reason above); the
    // loader takes it out, as it does with the raw white space there.
    bool hasIgnorableText = false;

    std::vector<XmlEntity> entities;
    std::vector<XmlEntityUse> entityUses;
};

// Checks that data[0, size) is a well-formed XML document in UTF-8 (without
// a byte-order mark, line ends as in the file). data[size] must be 0 and
// kXmlCheckPadding bytes from data[size] on must be readable.
XmlCheck CheckXml(const char* data, size_t size);

// Text is scanned thirty-two bytes at a time where the processor allows it,
// sixteen otherwise; tests turn the wider scan off to check the narrower
// one on the same machine.
void AllowWideTextScan(bool allowed);

// Where the text of an expanded document came from, to place a fault found
// in it in the original.
class ExpansionMap final {
public:
    void Add(size_t outStart, size_t outEnd, size_t sourceStart, size_t sourceEnd) {
        m_regions.push_back({outStart, outEnd, sourceStart, sourceEnd});
    }
    // The offset in the original of an offset in the expanded text: inside a
    // replacement, the reference it replaced.
    size_t SourceOffset(size_t offset) const;

private:
    struct Region {
        size_t outStart, outEnd, sourceStart, sourceEnd;
    };
    std::vector<Region> m_regions;
};

// The document with every reference to a declared entity replaced by its
// text (nested references too). Fails when an entity refers to itself, uses
// an entity that is not declared, or when expansion would add more than
// maxAdded bytes; the fault is placed at the reference in data.
bool ExpandEntities(const char* data, size_t size, const XmlCheck& check, size_t maxAdded,
                    std::string& out, ExpansionMap& map, XmlCheck& failure);
