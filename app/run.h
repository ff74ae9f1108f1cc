// Carries out a run plan: the run modes of the program.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"

namespace zirvon {

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 1,      ///< unreadable source, MML errors, unwritable output...
    kExitUsage = 2,        ///< the command line asks for something impossible
    kExitInterrupted = 130 ///< a preview stopped by Ctrl+C
};

/// The file to read: the name with its extension normalised (song.MML) when
/// it exists, else the name as typed (song.mml), which matters where case does.
std::string source_path(const RunPlan& plan);

/// Runs `plan`. Usage text and listings go to `out`, every message to `err`.
int run(const RunPlan& plan, std::ostream& out, std::ostream& err);

}  // namespace zirvon
