#include "lsp/text_edits.h"

#include <algorithm>

namespace zirvon::lsp {

std::string apply_edits(std::string text, std::vector<TextEdit> edits) {
    // From the back, so that each edit's offsets still hold when it comes.
    // A replacement goes before an insertion at its start, which then stays.
    std::stable_sort(edits.begin(), edits.end(), [](const TextEdit& a, const TextEdit& b) {
        return a.from != b.from ? a.from > b.from : a.to > b.to;
    });
    for (const TextEdit& e : edits) {
        const std::size_t from = std::min(e.from, text.size());
        text.replace(from, std::min(e.to, text.size()) - from, e.text);
    }
    return text;
}

json workspace_edit(const Snapshot& s, const std::vector<TextEdit>& edits) {
    json list = json::array();
    for (const TextEdit& e : edits) {
        list.push_back(
            {{"range", range_json(s.positions.position_of(e.from), s.positions.position_of(e.to))},
             {"newText", e.text}});
    }
    return {{"changes", {{s.uri, std::move(list)}}}};
}

}  // namespace zirvon::lsp
