#include "app/run.h"

#include <algorithm>
#include <optional>
#include <string>

#include "app/cassette_commands.h"
#include "app/import_commands.h"
#include "app/midi_commands.h"
#include "app/pipeline.h"
#include "app/preview_commands.h"
#include "app/tape_commands.h"
#include "app/usage.h"
#include "app/watch.h"
#include "lsp/stdio_loop.h"
#include "outputs/diagnostic_printer.h"
#include "outputs/listing.h"
#include "outputs/passage_errors.h"
#include "outputs/summary.h"
#include "text/format.h"

namespace zirvon {
namespace {

/// After the problems of a compile, one line that counts them and says what
/// the run does not do because of them.
/// `not_done` replaces what the plan alone would say is not done.
void print_summary(const RunPlan& plan, const DiagnosticCounts& counts, std::ostream& err,
                   std::optional<std::string> not_done = std::nullopt) {
    std::vector<std::string> names;
    if (writes_image(plan)) names.push_back(plan.output_name);
    for (const std::string& name : extra_output_names(plan)) names.push_back(name);
    if (!not_done) not_done = plan.play ? "nothing played" : plan.list ? "nothing listed" : "";
    const std::string text = problem_summary(counts, *not_done, names);
    if (!text.empty()) err << kProgram << text << '\n';
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

/// What a command line that names no song to work on asks for; the status,
/// or nothing when there is a song to work on.
std::optional<int> run_without_song(const RunPlan& plan, std::ostream& out, std::ostream& err) {
    // A command line with a mistake does nothing at all.
    if (!plan.errors.empty()) {
        for (const std::string& error : plan.errors) err << kProgram << error << '\n';
        return kExitUsage;
    }
    if (plan.bad_extension && !plan.usage) {
        err << kProgram << "'" << plan.typed_name
            << "' is neither an MML source (.MML), a tape image (.MZT) nor a MIDI file (.MID); 'zirvon --help' "
               "shows how to call it\n";
        return kExitUsage;
    }
    if (plan.no_arguments || plan.usage) {
        out << kUsageText;
        return kExitSuccess;
    }
    if (plan.help) {
        out << help_text();
        return kExitSuccess;
    }
    if (plan.version) {
        out << kVersionLine;
        return kExitSuccess;
    }
    for (const std::string& warning : plan.warnings) err << kProgram << "warning: " << warning << '\n';
    if (plan.lsp) return lsp::run_language_server();
    if (plan.ports) return list_midi_ports(out, err);
    if (!plan.have_source) {
        err << kProgram << "no MML file given; 'zirvon --help' shows how to call it\n";
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace

int run(const RunPlan& plan, std::ostream& out, std::ostream& err) {
    if (const std::optional<int> status = run_without_song(plan, out, err)) return *status;
    std::string path;
    if (!find_source(plan, !plan.watch, path, err)) return kExitFailure;
    if (const std::optional<int> status = check_run(plan, path, err)) return *status;
    if (plan.watch) return watch_source(plan, path, err);

    Build build;
    std::string error;
    if (!read_build(plan, path, build, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    const SourceAnalysis& analysis = build.analysis;
    for (const std::string& message : build.messages) err << (message.starts_with("  ") ? "" : kProgram) << message << '\n';
    print_diagnostics(err, path, analysis.source, analysis.diagnostics);
    const bool through_errors = !analysis.ok() && plays_through_errors(plan, build);
    if (!through_errors) print_summary(plan, analysis.counts, err);
    if (!analysis.ok() && !through_errors) return kExitFailure;

    // A passage the song does not have is a usage error, found only now that
    // the song is known, and before anything is shown or written.
    std::optional<play::Passage> passage;
    if (plan.play || plan.asks_for_a_passage()) {
        passage = build_passage(plan.passage, build, error);
        if (!passage) {
            // With errors the song may lack the block asked for: they come
            // first, as without a passage.
            if (through_errors) print_summary(plan, analysis.counts, err);
            err << kProgram << error << '\n';
            return through_errors ? kExitFailure : kExitUsage;
        }
    }
    if (through_errors) {
        const std::string refusal = error_in_passage(analysis, *passage);
        print_summary(plan, analysis.counts, err, refusal.empty() ? "none in what plays" : "nothing played: " + refusal);
        if (!refusal.empty()) return kExitFailure;
    }
    if (plan.list) {
        if (build.from_image()) list_tape_header(path, build.image, analysis.song, out, err);
        out << listing_text(analysis.song, analysis.map(), listed_tracks(plan.passage));
    }
    if (passage) {
        for (const SoundWarning& warning : run_sound_warnings(plan, build, *passage)) {
            err << kProgram << "warning: " << warning.text << '\n';
        }
    }
    if (plan.play) {
        const int status = plan.play_cassette
                               ? play_cassette(path, run_image(plan, path, build), plan.cassette, err)
                               : play_song(plan, path, analysis.song, analysis.map(), *passage, err);
        if (status != kExitSuccess) return status;
    }
    for (const std::string& warning : mml_warnings(plan, build)) err << kProgram << "warning: " << warning << '\n';
    // Files are written only now: a preview that did not play to its end
    // leaves every file as it was.
    const std::vector<const OutputKind*> files = files_to_write(plan);
    for (const FileResult& file : write_files(plan, path, build, files, passage ? &*passage : nullptr, true)) {
        if (!file.ok) {
            err << kProgram << file.error << (file.refused ? "" : not_written_either(plan, path, files, file.kind))
                << '\n';
            return kExitFailure;
        }
        if (file.written && plan.kind == SourceKind::recording && file.kind == &image_output()) {
            err << kProgram << "'" << file.name << "' written\n";
        } else if (file.written && build.from_image() && file.kind == &image_output()) {
            err << kProgram << written_back_message(plan, path, build.image, analysis.song) << '\n';
        }
        if (file.written && file.kind->option == "cassette") {
            err << kProgram << cassette_written_message(file.name, run_image(plan, path, build), plan.cassette)
                << '\n';
        }
        if (file.written && file.kind->option == "mml") err << kProgram << mml_written_message(plan, build, file.name) << '\n';
    }
    return kExitSuccess;
}

}  // namespace zirvon
