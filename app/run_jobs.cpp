#include "app/run_jobs.h"

#include <sstream>

#include "app/import_commands.h"
#include "app/usage.h"
#include "outputs/diagnostic_printer.h"
#include "outputs/listing.h"
#include "outputs/passage_errors.h"
#include "outputs/summary.h"

namespace zirvon {
namespace {

/// The files a source with errors keeps the run from writing.
std::vector<std::string> unwritten(const RunPlan& plan) {
    std::vector<std::string> names;
    if (writes_image(plan)) names.push_back(plan.output_name);
    for (const std::string& name : extra_output_names(plan)) names.push_back(name);
    return names;
}

/// What a run with errors does not do, besides writing its files.
std::string_view not_done(const RunPlan& plan) {
    return plan.play ? "nothing played" : plan.list ? "nothing listed" : "";
}

/// `text` as a line of its own, after the program's name; nothing for nothing.
std::string line(const std::string& text) { return text.empty() ? text : std::string(kProgram) + text + '\n'; }

/// After the problems of a compile, one line that counts them and says what
/// the run does not do because of them.
std::string summary_line(const RunPlan& plan, const DiagnosticCounts& counts) {
    return line(problem_summary(counts, not_done(plan), unwritten(plan)));
}

/// Whether a run may go on while the source has errors: one that only
/// plays MML, so that a passage away from the mistakes can be heard.
/// Files and listings of a song with errors stay refused.
bool plays_through_errors(const RunPlan& plan, const Build& build) {
    return plan.play && !plan.play_cassette && !plan.list && !build.from_image() && files_to_write(plan).empty();
}

/// The tracks /list shows: those /solo names, all but those /mute names, or
/// all ten.
std::uint16_t listed_tracks(const PassageOptions& options) {
    if (options.solo) return *options.solo;
    if (options.mute) return static_cast<std::uint16_t>(0x3FF & ~*options.mute);
    return 0x3FF;
}

class Planner {
public:
    Planner(const RunPlan& plan, RunJobs& run) : plan_(plan), run_(run) {}

    void plan() {
        if (!about_the_program()) read_source();
    }

private:
    /// What a command line that names no song to work on asks for. False
    /// when there is a song to work on.
    bool about_the_program() {
        // A command line with a mistake does nothing at all.
        if (!plan_.errors.empty()) {
            for (const std::string& error : plan_.errors) say(std::string(kProgram) + error + '\n');
            stop(kExitUsage);
            return true;
        }
        if (plan_.bad_extension && !plan_.usage) {
            refuse("'" + plan_.typed_name +
                       "' is neither an MML source (.MML), a tape image (.MZT) nor a MIDI file (.MID); 'zirvon "
                       "--help' shows how to call it",
                   kExitUsage);
            return true;
        }
        if (plan_.no_arguments || plan_.usage || plan_.help || plan_.version) {
            job(Job::Kind::show, std::string(plan_.no_arguments || plan_.usage ? kUsageText
                                             : plan_.help                      ? help_text()
                                                                               : kVersionLine));
            return true;
        }
        for (const std::string& warning : plan_.warnings) warn(warning);
        if (plan_.lsp || plan_.ports) {
            job(plan_.lsp ? Job::Kind::serve : Job::Kind::ports);
            return true;
        }
        if (!plan_.have_source) {
            refuse("no MML file given; 'zirvon --help' shows how to call it", kExitUsage);
            return true;
        }
        return false;
    }

    void read_source() {
        std::ostringstream said;
        const bool found = find_source(plan_, !plan_.watch, run_.path, said);
        const std::optional<int> refused = found ? check_run(plan_, run_.path, said) : std::nullopt;
        say(said.str());
        if (!found || refused) return stop(found ? *refused : kExitFailure);
        if (plan_.watch) return job(Job::Kind::watch);
        std::string error;
        if (!read_build(plan_, run_.path, run_.build, error)) return refuse(error, kExitFailure);
        compiled();
    }

    void say(std::string text) {
        if (!text.empty()) job(Job::Kind::say, std::move(text));
    }
    void job(Job::Kind kind, std::string text = {}) { run_.jobs.push_back({kind, std::move(text)}); }
    void stop(int status) { run_.status = status; }
    void refuse(const std::string& error, int status) {
        say(std::string(kProgram) + error + '\n');
        stop(status);
    }
    void warn(const std::string& warning) { say(std::string(kProgram) + "warning: " + warning + '\n'); }

    /// Once the source is read: its problems, then what the run does.
    void compiled() {
        const Build& build = run_.build;
        const SourceAnalysis& analysis = build.analysis;
        for (const std::string& message : build.messages) {
            say((message.starts_with("  ") ? "" : std::string(kProgram)) + message + '\n');
        }
        std::ostringstream problems;
        print_diagnostics(problems, run_.path, analysis.source, analysis.diagnostics);
        say(problems.str());
        const bool through_errors = !analysis.ok() && plays_through_errors(plan_, build);
        if (!through_errors) say(summary_line(plan_, analysis.counts));
        if (!analysis.ok() && !through_errors) return stop(kExitFailure);

        // A passage the song does not have is a usage error, found only now
        // that the song is known, and before anything is shown or written.
        if (plan_.play || plan_.asks_for_a_passage()) {
            std::string error;
            run_.passage = build_passage(plan_.passage, build, error);
            if (!run_.passage) {
                // With errors the song may lack the block asked for: they
                // come first, as without a passage.
                if (through_errors) say(summary_line(plan_, analysis.counts));
                return refuse(error, through_errors ? kExitFailure : kExitUsage);
            }
        }
        if (through_errors) {
            const PassageVerdict verdict = play_around_errors(analysis, *run_.passage, not_done(plan_), unwritten(plan_));
            say(line(verdict.summary));
            if (!verdict.plays) return stop(kExitFailure);
        }
        if (plan_.list) listed();
        if (run_.passage) {
            for (const SoundWarning& warning : run_sound_warnings(plan_, build, *run_.passage)) warn(warning.text);
        }
        if (plan_.play) job(Job::Kind::play);
        for (const std::string& warning : mml_warnings(plan_, build)) warn(warning);
        // Files are written only now: a preview that did not play to its end
        // leaves every file as it was.
        run_.files = files_to_write(plan_);
        if (!run_.files.empty()) job(Job::Kind::write);
    }

    /// /list: an image's header, with a warning for each place where it
    /// disagrees with the data, then the events.
    void listed() {
        const Build& build = run_.build;
        std::vector<std::string> warnings;
        if (std::string header = listed_header(build, run_.path, warnings); !header.empty()) {
            job(Job::Kind::show, std::move(header));
        }
        for (const std::string& warning : warnings) warn(warning);
        job(Job::Kind::show, listing_text(build.analysis.song, build.analysis.map(), listed_tracks(plan_.passage)));
    }

    const RunPlan& plan_;
    RunJobs& run_;
};

}  // namespace

RunJobs plan_jobs(const RunPlan& plan) {
    RunJobs run;
    Planner(plan, run).plan();
    return run;
}

}  // namespace zirvon
