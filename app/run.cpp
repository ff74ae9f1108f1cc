#include "app/run.h"

#include <algorithm>
#include <string>

#include "app/cassette_commands.h"
#include "app/import_commands.h"
#include "app/midi_commands.h"
#include "app/pipeline.h"
#include "app/preview_commands.h"
#include "app/run_jobs.h"
#include "app/tape_commands.h"
#include "app/watch.h"
#include "lsp/stdio_loop.h"
#include "outputs/cassette_text.h"
#include "outputs/diagnostic_printer.h"
#include "text/format.h"

namespace zirvon {
namespace {

/// After a file that cannot be written: the files of the run that are not
/// written either, and where else they could go.
std::string not_written_either(const RunPlan& plan, const std::string& path,
                               const std::vector<const OutputKind*>& files, const OutputKind* failed) {
    std::vector<std::string> others;
    const auto at = std::find(files.begin(), files.end(), failed);
    for (auto it = at == files.end() ? at : at + 1; it != files.end(); ++it) {
        others.push_back(std::string("'").append(file_name(plan, path, **it)).append("'"));
    }
    std::string text;
    if (!others.empty()) text = "; " + joined(others) + (others.size() == 1 ? " is" : " are") + " not written either";
    if (!plan.output_given) text += others.empty() ? "; -o PATH writes it elsewhere" : "; -o PATH writes them elsewhere";
    return text;
}

/// Plays the passage, or with /cassette the recording of the image.
int play_run(const RunPlan& plan, const RunJobs& run, std::ostream& err) {
    const Build& build = run.build;
    if (plan.play_cassette) return play_cassette(run.path, run_image(plan, run.path, build), plan.cassette, err);
    return play_song(plan, run.path, build.analysis.song, build.analysis.map(), *run.passage, err);
}

/// Writes the files of the run, saying what each write-back and recording
/// came to. False, after the message, at the first that cannot be written.
bool write_run(const RunPlan& plan, const RunJobs& run, std::ostream& err) {
    const std::string& path = run.path;
    const Build& build = run.build;
    const play::Passage* passage = run.passage ? &*run.passage : nullptr;
    for (const FileResult& file : write_files(plan, path, build, run.files, passage, true)) {
        if (!file.ok) {
            err << kProgram << file.error << (file.refused ? "" : not_written_either(plan, path, run.files, file.kind))
                << '\n';
            return false;
        }
        if (file.written && plan.kind == SourceKind::recording && file.kind == &image_output()) {
            err << kProgram << "'" << file.name << "' written\n";
        } else if (file.written && build.from_image() && file.kind == &image_output()) {
            err << kProgram << written_back_message(plan, path, build.image, build.analysis.song) << '\n';
        }
        if (file.written && file.kind->option == "cassette") {
            err << kProgram << cassette_written_message(file.name, run_image(plan, path, build), plan.cassette)
                << '\n';
        }
        if (file.written && file.kind->option == "mml") err << kProgram << mml_written_message(plan, build, file.name) << '\n';
    }
    return true;
}

}  // namespace

int run(const RunPlan& plan, std::ostream& out, std::ostream& err) {
    const RunJobs run = plan_jobs(plan);
    for (const Job& job : run.jobs) {
        switch (job.kind) {
            case Job::Kind::say: err << job.text; break;
            case Job::Kind::show: out << job.text; break;
            case Job::Kind::watch: return watch_source(plan, run.path, err);
            case Job::Kind::serve: return lsp::run_language_server();
            case Job::Kind::ports: return list_midi_ports(out, err);
            case Job::Kind::play:
                if (const int status = play_run(plan, run, err); status != kExitSuccess) return status;
                break;
            case Job::Kind::write:
                if (!write_run(plan, run, err)) return kExitFailure;
                break;
        }
    }
    return run.status;
}

}  // namespace zirvon
