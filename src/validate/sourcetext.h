// From the offsets of a loaded tree to lines and columns of the file. The
// loader parses the file's text decoded to UTF-8, with CR LF and lone CR made
// LF and, when the DOCTYPE declares entities, every reference to one
// replaced by its text; the tree's offsets point into that. Findings are
// placed in the file's own characters: the decoded text with its line ends
// made LF, which has the file's lines and columns (a CR ends a line and is no
// character of it). Internal to the validator.
#pragma once

#include "feed/xmlcheck.h"

#include <QByteArray>
#include <cstddef>
#include <vector>

class CRssFeed;

class SourceText final {
public:
    // bytes: the file as it is, which must outlive this (a UTF-8 text is
    // used in place); feed: the tree loaded from exactly them. Empty text
    // when the bytes do not decode.
    SourceText(const QByteArray& bytes, const CRssFeed& feed);
    // For bytes that did not load: no tree, so no entities to follow.
    explicit SourceText(const QByteArray& bytes);

    // The file's characters in UTF-8 with LF line ends.
    const QByteArray& Text() const { return m_text; }
    // The text the tree's offsets point into.
    const QByteArray& TreeText() const { return m_expanded ? m_treeText : m_text; }
    // Where in Text() a tree offset points.
    size_t FromTree(size_t offset) const;

private:
    // The decoded text as the file has it (CRs still in it); empty when the
    // bytes do not decode.
    static QByteArray Decode(const QByteArray& bytes);
    void FollowEntities(const QByteArray& decoded);

    QByteArray m_text;
    // Set only when entities were expanded: where the expansion's text came
    // from in the decoded text.
    bool m_expanded = false;
    QByteArray m_treeText;
    ExpansionMap m_map;
    // Where the LF of a CR LF was left out: in the expanded text once made
    // LF, the offset of what followed it; in the decoded text, its own.
    std::vector<size_t> m_expandedDrops;
    std::vector<size_t> m_decodedDrops;
};
