// A run decided whole before any of it is done: the command line's
// mistakes and the texts about the program, or the source found, checked
// and read and from it, as data, every line to say, the listing, the
// passage, whether it plays, and which files go where. Carrying the jobs
// out (run.cpp) then decides nothing but what the system answers: whether
// the port plays and the files are written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/pipeline.h"

namespace zirvon {

/// One step of a run, in the order it is done.
struct Job {
    enum class Kind {
        say,    ///< `text`, whole lines, to standard error
        show,   ///< `text` to standard output
        serve,  ///< the language server, from here on
        ports,  ///< list the MIDI output ports
        watch,  ///< follow the source, rebuilding on every save, from here on
        play,   ///< the passage, or with /cassette /play the recording
        write,  ///< the files, in order, each said as it is written
    };
    Kind kind = Kind::say;
    std::string text;
};

/// What a run reads, makes and writes, and the jobs that do it.
struct RunJobs {
    /// The file read: the source as found.
    std::string path;
    Build build;
    std::optional<play::Passage> passage;
    /// The files written, in order, to file_name(plan, path, kind).
    std::vector<const OutputKind*> files;
    std::vector<Job> jobs;
    /// The run's status once every job is done: not success when the jobs
    /// end with the message of a refusal.
    int status = kExitSuccess;
};

/// Decides the run of `plan`: what a command line that names no song asks
/// for (its mistakes, the help), or the source read and every job laid out.
/// Nothing is shown, played or written.
RunJobs plan_jobs(const RunPlan& plan);

}  // namespace zirvon
