#include "lsp/features.h"

namespace zirvon::lsp {

json diagnostic_json(const Snapshot& snapshot, const Diagnostic& d) {
    const int severity = d.severity == Severity::error ? 1 : d.severity == Severity::warning ? 2 : 3;
    Position start;
    Position end;
    if (d.line > 0) {
        const auto line = static_cast<std::uint32_t>(d.line);
        start = snapshot.position({line, static_cast<std::uint32_t>(d.column)});
        end = snapshot.position({line, static_cast<std::uint32_t>(d.token_end())});
    }
    json item = {{"range", range_json(start, end)},
                 {"severity", severity},
                 {"source", "zirvon"},
                 {"message", d.message}};
    if (!d.code.empty()) item["code"] = std::string(d.code);
    return item;
}

json diagnostics_params(const Snapshot& snapshot) {
    json list = json::array();
    for (const Diagnostic& d : snapshot.analysis.diagnostics) list.push_back(diagnostic_json(snapshot, d));
    return {{"uri", snapshot.uri}, {"diagnostics", std::move(list)}};
}

}  // namespace zirvon::lsp
