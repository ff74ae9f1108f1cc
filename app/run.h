// Carries out a run plan: the run modes of the program.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/pipeline.h"

namespace zirvon {

/// Runs `plan`. Usage text and listings go to `out`, every message to `err`.
int run(const RunPlan& plan, std::ostream& out, std::ostream& err);

}  // namespace zirvon
