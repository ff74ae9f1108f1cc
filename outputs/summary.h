// The line that follows the problems of a compile: what they were, and what
// a run does not do because of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mml/compiler.h"

namespace zirvon {

/// "2 errors, 7 warnings; 'oops.MZT' not written": the counts, and with
/// errors what is not done (`not_done`, such as "nothing played", may be
/// empty) and the files that are not written, quoted. Empty when there was
/// no problem.
std::string problem_summary(const DiagnosticCounts& counts, std::string_view not_done,
                            const std::vector<std::string>& unwritten);

}  // namespace zirvon
