#include "app/run.h"

#include <string>

#include "app/audio_commands.h"
#include "app/diagnostic_printer.h"
#include "app/listing.h"
#include "app/midi_commands.h"
#include "app/usage.h"
#include "mml/compiler.h"
#include "mml/source_text.h"
#include "song/song.h"
#include "tape/file_kind.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

/// The file to read: the name with its extension normalised (song.MML) when
/// it exists, else the name as typed (song.mml), which matters where case does.
std::string source_path(const RunPlan& plan) {
    if (path_exists(plan.source_name) || plan.typed_name == plan.source_name) {
        return plan.source_name;
    }
    return path_exists(plan.typed_name) ? plan.typed_name : plan.source_name;
}

/// Fills `song` from the source: compiles MML or loads a tape image. Prints
/// every problem; false when there was an error.
bool load_song(const RunPlan& plan, const std::string& path, Song& song, std::ostream& err) {
    std::string error;
    if (plan.kind == SourceKind::tape) {
        if (!load_tape(path, song, error)) {
            err << kProgram << error << '\n';
            return false;
        }
        return true;
    }
    SourceText source("");
    if (!source.load(path, error)) {
        err << kProgram << error << '\n';
        return false;
    }
    std::vector<Diagnostic> diagnostics;
    const bool ok = compile(source, song, diagnostics);
    print_diagnostics(err, path, source, diagnostics);
    return ok;
}

}  // namespace

int run(const RunPlan& plan, std::ostream& out, std::ostream& err) {
    for (const std::string& warning : plan.warnings) err << kProgram << "warning: " << warning << '\n';

    if (plan.no_arguments || plan.help || plan.bad_extension) {
        out << kUsageText;
        if (!plan.bad_extension) return kExitSuccess;
        err << kProgram << "'" << plan.typed_name
            << "' is neither an MML source (.MML) nor a tape image (.MZT)\n";
        return kExitUsage;
    }
    if (plan.version) {
        out << kVersionLine;
        return kExitSuccess;
    }
    if (plan.ports) return list_midi_ports(out, err);
    if (!plan.have_source) {
        err << kProgram << "no MML file given; 'zirvon /?' shows how to call it\n";
        return kExitUsage;
    }
    if (plan.kind == SourceKind::tape && !plan.play && !plan.list && !plan.midi && !plan.wav) {
        err << kProgram << "'" << plan.typed_name
            << "' is a tape image: /play previews an image, /list lists it, /midi and /wav "
               "write it as a MIDI or WAV file; it is left as it is\n";
        return kExitUsage;
    }

    const std::string path = source_path(plan);
    Song song;
    if (!load_song(plan, path, song, err)) return kExitFailure;

    if (plan.list) print_listing(out, song);
    if (plan.midi || plan.play || plan.wav) warn_about_left_out_notes(song, err);
    if (plan.midi && !write_midi(plan, song, err)) return kExitFailure;
    if (plan.wav && !write_wav(plan, song, err)) return kExitFailure;
    if (plan.play) return play_song(plan, path, song, err);
    if (plan.kind != SourceKind::tape && !plan.list) {
        std::string error;
        if (!save_tape(plan.output_name, song, plan.tape_name, error)) {
            err << kProgram << error << '\n';
            return kExitFailure;
        }
    }
    return kExitSuccess;
}

}  // namespace zirvon
