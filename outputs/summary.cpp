#include "outputs/summary.h"

#include "text/format.h"

namespace zirvon {

std::string problem_summary(const DiagnosticCounts& counts, std::string_view not_done,
                            const std::vector<std::string>& unwritten) {
    if (counts.errors == 0 && counts.warnings == 0) return {};
    std::string text;
    if (counts.errors > 0) text = counted(static_cast<std::uint64_t>(counts.errors), "error");
    if (counts.errors > 0 && counts.warnings > 0) text += ", ";
    if (counts.warnings > 0) text += counted(static_cast<std::uint64_t>(counts.warnings), "warning");
    if (counts.errors == 0) return text;
    std::vector<std::string> names;
    for (const std::string& name : unwritten) names.push_back("'" + name + "'");
    std::string lost(not_done);
    if (!names.empty()) lost += (lost.empty() ? "" : ", ") + joined(names) + " not written";
    return lost.empty() ? text : text + "; " + lost;
}

}  // namespace zirvon
