#include "app/run.h"

#include <string>

#include "app/audio_commands.h"
#include "app/diagnostic_printer.h"
#include "outputs/listing.h"
#include "outputs/summary.h"
#include "app/audio_commands.h"
#include "app/midi_commands.h"
#include "play/passage_options.h"
#include "app/picture_commands.h"
#include "app/preview_commands.h"
#include "app/source_files.h"
#include "app/tape_commands.h"
#include "app/usage.h"
#include "app/watch.h"
#include "lsp/stdio_loop.h"
#include "mml/analysis.h"
#include "mml/source_text.h"
#include "play/passage.h"
#include "song/song.h"
#include "system/file_kind.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

/// Finds the file to read: the name with its extension normalised (song.MML)
/// when it exists, else the name as typed (song.mml), which matters where
/// case does. Says which one when both exist, and both names when neither does.
bool find_source(const RunPlan& plan, std::string& path, std::ostream& err) {
    path = plan.source_name;
    if (plan.typed_name == plan.source_name) return true;  // the reader tells what is wrong
    const bool normalised = path_exists(plan.source_name);
    const bool typed = path_exists(plan.typed_name);
    if (normalised && typed && !same_file(plan.source_name, plan.typed_name)) {
        err << kProgram << "warning: both '" << plan.source_name << "' and '" << plan.typed_name
            << "' exist; reading '" << plan.source_name << "'\n";
    }
    if (normalised) return true;
    if (typed) {
        path = plan.typed_name;
        return true;
    }
    std::string why;
    file_kind(plan.source_name, why);
    err << kProgram << "cannot read '" << plan.typed_name << "' (tried '" << plan.source_name
        << "' and '" << plan.typed_name << "'): " << why << '\n';
    return false;
}

/// After the problems of a compile, one line that counts them and says what
/// the run does not do because of them.
void print_summary(const RunPlan& plan, const DiagnosticCounts& counts, std::ostream& err) {
    std::vector<std::string> names;
    if (!plan.play && !plan.list) names.push_back(plan.output_name);
    for (const std::string& name : extra_output_names(plan)) names.push_back(name);
    const std::string text =
        problem_summary(counts, plan.play ? "nothing played" : plan.list ? "nothing listed" : "", names);
    if (!text.empty()) err << kProgram << text << '\n';
}

/// Fills `song` from the source: compiles MML or loads a tape image, whose
/// bytes go to `image`. Prints every problem; false when there was an error.
bool load_song(const RunPlan& plan, const std::string& path, Song& song,
               std::vector<std::uint8_t>& image, std::ostream& err) {
    std::string error;
    if (plan.kind == SourceKind::tape) {
        if (!load_tape(path, song, error, &image)) {
            err << kProgram << error << '\n';
            return false;
        }
        return true;
    }
    std::string bytes;
    if (!read_source_file(path, bytes, error)) {
        err << kProgram << error << '\n';
        return false;
    }
    SourceAnalysis analysis = analyze_source(std::move(bytes), path);
    print_diagnostics(err, path, analysis.source, analysis.diagnostics);
    print_summary(plan, analysis.counts, err);
    song = std::move(analysis.song);
    return analysis.ok();
}

/// Whether this run writes the image: compiling does, and playing an image
/// writes it back; /list and playing MML do not.
bool writes_image(const RunPlan& plan) {
    return plan.kind == SourceKind::tape ? plan.play : !plan.list && !plan.play;
}

}  // namespace

std::string source_path(const RunPlan& plan) {
    if (path_exists(plan.source_name) || plan.typed_name == plan.source_name) {
        return plan.source_name;
    }
    return path_exists(plan.typed_name) ? plan.typed_name : plan.source_name;
}

int run(const RunPlan& plan, std::ostream& out, std::ostream& err) {
    // A command line with a mistake does nothing at all.
    if (!plan.errors.empty()) {
        for (const std::string& error : plan.errors) err << kProgram << error << '\n';
        return kExitUsage;
    }
    if (plan.no_arguments || plan.usage || plan.bad_extension) {
        out << kUsageText;
        if (!plan.bad_extension) return kExitSuccess;
        err << kProgram << "'" << plan.typed_name
            << "' is neither an MML source (.MML) nor a tape image (.MZT)\n";
        return kExitUsage;
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
    if (plan.kind == SourceKind::tape && !plan.play && !plan.list && !plan.midi && !plan.wav && !plan.svg) {
        err << kProgram << "'" << plan.typed_name
            << "' is a tape image: /play previews it, /list lists it, /midi, /wav and /svg write it "
               "as a MIDI file, a WAV file and a picture; it is left as it is\n";
        return kExitUsage;
    }

    if (plan.watch) return watch_source(plan, err);

    std::string path;
    if (!find_source(plan, path, err)) return kExitFailure;
    if (plan.output_given && plan.kind != SourceKind::tape && same_file(path, plan.output_name)) {
        err << kProgram << "'" << plan.output_name
            << "' is the source itself; the image would replace it\n";
        return kExitUsage;
    }
    if (plan.output_given && !writes_image(plan) && !plan.midi && !plan.wav && !plan.svg) {
        err << kProgram << "warning: '" << plan.output_name << "' is not written: "
            << (plan.list ? "/list" : "/play of an MML source") << " writes no image\n";
    }

    Song song;
    std::vector<std::uint8_t> image;
    if (!load_song(plan, path, song, image, err)) return kExitFailure;

    const play::SongMap map = play::map_song(song);
    // A passage the song does not have is a usage error, found only now that
    // the song is known, and before anything is shown or written.
    std::optional<play::Passage> passage;
    if (plan.midi || plan.play || plan.wav || plan.svg) {
        passage = plan_passage(plan.passage, song, map, err);
        if (!passage) return kExitUsage;
    }
    if (plan.list) {
        if (plan.kind == SourceKind::tape) list_tape_header(path, image, song, out, err);
        out << listing_text(song, map);
    }
    if (plan.midi || plan.play || plan.wav) {
        warn_about_left_out_notes(play::left_out_notes(song, map, *passage), err);
    }
    if (plan.play) {
        const int status = play_song(plan, path, song, map, *passage, err);
        if (status != kExitSuccess) return status;
    }
    // Files are written only now: a preview that did not play to its end
    // leaves every file as it was.
    std::string error;
    if (plan.midi && !write_midi(plan, song, *passage, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    if (plan.wav && !write_wav(plan, song, *passage, err)) return kExitFailure;
    if (plan.svg) {
        // An image shows the name in its header; a source the name it is given.
        const std::string tape_name = plan.kind == SourceKind::tape ? read_tape_header(image).name()
                                                                    : plan.tape_name.substr(0, kLongestTapeName);
        if (!write_svg(plan, path, tape_name, song, map, *passage, err)) return kExitFailure;
    }
    if (writes_image(plan)) {
        if (plan.kind == SourceKind::tape) {
            if (!write_back_image(plan, path, image, song, err)) return kExitFailure;
        } else if (!save_tape(plan.output_name, song, plan.tape_name, error)) {
            err << kProgram << error << '\n';
            return kExitFailure;
        }
    }
    return kExitSuccess;
}

}  // namespace zirvon
