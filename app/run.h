// A run of the program: plan_jobs decides it whole, then its jobs are done
// in order.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/pipeline.h"

namespace zirvon {

/// Runs `plan`. Usage text and listings go to `out`, every message to `err`.
int run(const RunPlan& plan, std::ostream& out, std::ostream& err);

}  // namespace zirvon
