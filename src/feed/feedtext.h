// How a field's text is read from the tree and shown on one line.
#pragma once

#include <cstring>
#include <pugixml.hpp>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string>

namespace feedtext {

inline bool IsTextNode(const pugi::xml_node& node) {
    const pugi::xml_node_type type = node.type();
    return type == pugi::node_pcdata || type == pugi::node_cdata;
}

// Text that stands first in an element is kept in the element itself, as
// its value, rather than in a text child: a node fewer for nearly every
// field of a feed. Such text comes before all of the element's children.
// The code that changes an element keeps it in either place; everything that
// reads text looks at both. "" when the element holds none.
inline const char* LeadingText(const pugi::xml_node& element) {
    return element.type() == pugi::node_element ? element.value() : "";
}

inline bool HasLeadingText(const pugi::xml_node& element) {
    return *LeadingText(element) != '\0';
}

// Drops the text kept in the element itself.
inline void ClearLeadingText(pugi::xml_node element) {
    if (HasLeadingText(element))
        element.text().set("");
}

// True when the element holds no text, nor anything else: no children.
inline bool IsHollow(const pugi::xml_node& element) {
    return !element.first_child() && !HasLeadingText(element);
}

// The text of an element: all its text and CDATA, in order, with that of
// the elements inside it. The usual single text is returned without a copy;
// otherwise the pieces are joined in scratch. "" for a null element.
inline const char* ElementText(const pugi::xml_node& element, std::string& scratch) {
    // The usual cases in few library calls, each of which costs more than
    // its work: the text kept in the element with no children, or a text
    // child that is the only child.
    const pugi::xml_node first = element.first_child();
    const char* value = element.child_value();
    if (*value && (HasLeadingText(element) ? !first : !element.last_child().previous_sibling()))
        return value;
    if (!first)
        return "";
    scratch = LeadingText(element);
    pugi::xml_node node = first;
    for (;;) {
        // An element's own text comes before its children.
        if (IsTextNode(node))
            scratch += node.value();
        else
            scratch += LeadingText(node);
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != element && !node.next_sibling())
            node = node.parent();
        if (node == element)
            break;
        node = node.next_sibling();
    }
    return scratch.c_str();
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// True when text is white space with a line break in it.
inline bool IsLayout(const char* text) {
    bool lineBreak = false;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n' || *p == '\r')
            lineBreak = true;
        else if (*p != ' ' && *p != '\t')
            return false;
    }
    return lineBreak;
}

// Takes out the white space between the children of an element that holds
// no text of its own: element children, no CDATA, and only white-space text,
// each piece with a line break. Such white space is layout, which the printer
// redoes; a tree never holds it, so that what is saved loads back the same.
// True when the element's text was such layout.
inline bool DropLayoutText(pugi::xml_node element) {
    bool elementChild = false;
    bool layout = HasLeadingText(element);
    if (layout && !IsLayout(element.value()))
        return false;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
        const pugi::xml_node_type type = c.type();
        if (type == pugi::node_element) {
            elementChild = true;
        } else if (type == pugi::node_cdata) {
            return false;
        } else if (type == pugi::node_pcdata) {
            if (!IsLayout(c.value()))
                return false;
            layout = true;
        }
    }
    if (!elementChild || !layout)
        return false;
    ClearLeadingText(element);
    for (pugi::xml_node c = element.first_child(); c;) {
        const pugi::xml_node next = c.next_sibling();
        if (c.type() == pugi::node_pcdata)
            element.remove_child(c);
        c = next;
    }
    return true;
}

// True when text is already one line: no tab, CR or LF, no blank at either
// end and no two blanks side by side, as nearly every title is.
inline bool IsOneLine(const char* text, size_t length) {
    if (length == 0)
        return true;
    if (IsBlank(text[0]) || IsBlank(text[length - 1]))
        return false;
    size_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time, each compared with the byte after it, while
    // the text lasts; the last block may overlap the one before it, so a
    // title or a date needs no byte-by-byte tail.
    if (length >= 17) {
        const __m128i blank = _mm_set1_epi8(' ');
        for (;; i += 16) {
            if (i + 17 > length)
                i = length - 17;
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 1));
            const __m128i lowX = _mm_cmpeq_epi8(_mm_max_epu8(x, blank), blank);
            const __m128i lowY = _mm_cmpeq_epi8(_mm_max_epu8(y, blank), blank);
            const __m128i blankX = _mm_cmpeq_epi8(x, blank);
            const __m128i bad =
                _mm_or_si128(_mm_andnot_si128(blankX, lowX), _mm_and_si128(blankX, lowY));
            if (_mm_movemask_epi8(bad))
                return false;
            if (i + 17 == length)
                return true;
        }
    }
#endif
    for (; i + 1 < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // Only white space (and control characters, which text cannot hold)
        // lies at or below the blank.
        if (c <= ' ' && (c != ' ' || static_cast<unsigned char>(text[i + 1]) <= ' '))
            return false;
    }
    return true;
}

// Copies text as one line: white space at both ends dropped, each inner run
// of it one blank. to needs room for length bytes; returns the end.
inline char* CopyOneLine(char* to, const char* text, size_t length) {
    if (IsOneLine(text, length)) {
        std::memcpy(to, text, length);
        return to + length;
    }
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsBlank(*p))
        ++p;
    while (p < end) {
        const char c = *p++;
        if (!IsBlank(c)) {
            *to++ = c;
            continue;
        }
        while (p < end && IsBlank(*p))
            ++p;
        if (p < end)
            *to++ = ' ';
    }
    return to;
}

} // namespace feedtext
