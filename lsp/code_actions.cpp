// textDocument/codeAction: the rewrites of a selection's music, and the
// quick fixes of the problems it touches. A rewrite that cannot be done is
// offered disabled, with the reason, so the editor says why.
#include <array>
#include <string_view>
#include <utility>

#include "lsp/features.h"
#include "lsp/selection_edits.h"

namespace zirvon::lsp {

json code_actions(const Snapshot& s, const json& params) {
    const json& range = params.at("range");
    std::size_t from = s.positions.offset_of(position_from(range.at("start")));
    std::size_t to = s.positions.offset_of(position_from(range.at("end")));
    if (to < from) std::swap(from, to);
    // The kinds the client asked for, when it says: each rewrite is compiled
    // to be checked, which is not worth doing for a client that wants none.
    const auto wanted = [&](std::string_view kind) {
        const json& only =
            params.contains("context") ? params["context"].value("only", json()) : json();
        if (!only.is_array()) return true;
        for (const json& k : only) {
            if (!k.is_string()) continue;
            const std::string& asked = k.get_ref<const std::string&>();
            // "refactor" asks for "refactor.rewrite" too.
            if (kind == asked || (kind.substr(0, asked.size()) == asked &&
                                  kind.size() > asked.size() && kind[asked.size()] == '.')) {
                return true;
            }
        }
        return false;
    };
    json actions = wanted("quickfix") ? quick_fixes(s, from, to) : json::array();
    if (from == to || !wanted("refactor.rewrite") || !selection_has_notes(s, from, to))
        return actions;
    static constexpr std::array<std::pair<Rewrite, const char*>, 6> kRewrites{{
        {Rewrite::semitone_up, "Transpose up a semitone"},
        {Rewrite::semitone_down, "Transpose down a semitone"},
        {Rewrite::octave_up, "Transpose up an octave"},
        {Rewrite::octave_down, "Transpose down an octave"},
        {Rewrite::double_length, "Double the lengths"},
        {Rewrite::halve_length, "Halve the lengths"},
    }};
    for (const auto& [how, title] : kRewrites) {
        const Rewritten r = rewrite_selection(s, from, to, how);
        json action = {{"title", title}, {"kind", "refactor.rewrite"}};
        if (r.refusal.empty()) {
            action["edit"] = workspace_edit(s, r.edits);
        } else {
            action["disabled"] = {{"reason", r.refusal}};
        }
        actions.push_back(std::move(action));
    }
    return actions;
}

}  // namespace zirvon::lsp
