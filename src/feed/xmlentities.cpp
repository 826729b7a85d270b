// Expansion of the internal entities a document declares. Each entity's text
// is expanded once, with references to other entities replaced in turn, and
// then copied wherever it is used; a limit on the bytes added stops an entity
// bomb long before memory runs out.
#include "xmlcheck.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

bool IsPredefined(std::string_view name) {
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

class Expander final {
public:
    Expander(const XmlCheck& check, size_t budget)
        : m_check(check), m_budget(budget), m_state(check.entities.size(), 0),
          m_expanded(check.entities.size()) {
        for (size_t i = 0; i < check.entities.size(); ++i)
            m_index.emplace(check.entities[i].name, static_cast<int>(i));
    }

    // The text of entity index with every nested reference replaced.
    const std::string* Expand(int index) {
        const auto i = static_cast<size_t>(index);
        if (m_state[i] == 2)
            return &m_expanded[i];
        const std::string& name = m_check.entities[i].name;
        if (m_state[i] == 1) {
            m_error = "the entity &" + name + "; refers to itself";
            return nullptr;
        }
        m_state[i] = 1;
        const std::string& text = m_check.entities[i].replacement;
        std::string result;
        size_t pos = 0;
        while (pos < text.size()) {
            const size_t amp = text.find('&', pos);
            if (amp == std::string::npos)
                break;
            const size_t semicolon = text.find(';', amp);
            // Character references, the predefined entities and anything
            // malformed stay as written; the check of the expanded document
            // reads them.
            if (semicolon == std::string::npos || text[amp + 1] == '#') {
                result.append(text, pos, amp + 1 - pos);
                pos = amp + 1;
                continue;
            }
            const std::string_view inner =
                std::string_view(text).substr(amp + 1, semicolon - amp - 1);
            if (IsPredefined(inner)) {
                result.append(text, pos, semicolon + 1 - pos);
                pos = semicolon + 1;
                continue;
            }
            const auto found = m_index.find(std::string(inner));
            if (found == m_index.end()) {
                m_error = "the entity &" + std::string(inner) + "; used in &" + name +
                          "; is not declared";
                return nullptr;
            }
            const std::string* nested = Expand(found->second);
            if (!nested)
                return nullptr;
            result.append(text, pos, amp - pos);
            result += *nested;
            pos = semicolon + 1;
            if (result.size() > m_budget) {
                m_error = BudgetMessage();
                return nullptr;
            }
        }
        result.append(text, pos, std::string::npos);
        if (result.size() > m_budget) {
            m_error = BudgetMessage();
            return nullptr;
        }
        m_state[i] = 2;
        m_expanded[i] = std::move(result);
        return &m_expanded[i];
    }

    std::string BudgetMessage() const {
        return "the entities expand to more than the limit of " + std::to_string(m_budget) +
               " bytes";
    }
    const std::string& Error() const { return m_error; }

private:
    const XmlCheck& m_check;
    size_t m_budget;
    // 0 not expanded yet, 1 being expanded, 2 done.
    std::vector<int> m_state;
    std::vector<std::string> m_expanded;
    std::unordered_map<std::string, int> m_index;
    std::string m_error;
};

} // namespace

size_t ExpansionMap::SourceOffset(size_t offset) const {
    const auto after = std::upper_bound(
        m_regions.begin(), m_regions.end(), offset,
        [](size_t value, const Region& region) { return value < region.outStart; });
    if (after == m_regions.begin())
        return offset;
    const Region& region = *(after - 1);
    if (offset < region.outEnd)
        return region.sourceStart;
    return region.sourceEnd + (offset - region.outEnd);
}

bool ExpandEntities(const char* data, size_t size, const XmlCheck& check, size_t maxAdded,
                    std::string& out, ExpansionMap& map, XmlCheck& failure) {
    Expander expander(check, maxAdded);
    out.clear();
    out.reserve(size + size / 8);
    size_t pos = 0;
    auto fail = [&failure](size_t offset, std::string message) {
        failure.ok = false;
        failure.errorOffset = offset;
        failure.error = std::move(message);
        return false;
    };
    for (const XmlEntityUse& use : check.entityUses) {
        const std::string* text = expander.Expand(use.entity);
        if (!text)
            return fail(use.offset, expander.Error());
        out.append(data + pos, use.offset - pos);
        const size_t start = out.size();
        if (use.quote == 0) {
            out += *text;
        } else {
            // The quote that delimits the value must not end it early.
            const char* escaped = use.quote == '"' ? "&#34;" : "&#39;";
            for (char c : *text) {
                if (c == use.quote)
                    out += escaped;
                else
                    out += c;
            }
        }
        map.Add(start, out.size(), use.offset, use.offset + use.length);
        pos = use.offset + use.length;
        if (out.size() > pos + maxAdded)
            return fail(use.offset, expander.BudgetMessage());
    }
    out.append(data + pos, size - pos);
    return true;
}
