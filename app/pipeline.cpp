#include "app/pipeline.h"

#include <algorithm>
#include <cstddef>

#include "app/import_commands.h"
#include "app/recording_commands.h"
#include "app/source_files.h"
#include "outputs/diagnostic_printer.h"
#include "system/file_kind.h"
#include "system/input_file.h"
#include "system/output_file.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

/// The longest MIDI file read as a source.
constexpr std::size_t kMaxMidiFile = std::size_t{16} << 20;

/// The names a later run of this command line may read as the source: the
/// name with its extension in upper case, and the name as typed.
bool names_the_source(const RunPlan& plan, const std::string& name) {
    return name == plan.source_name || name == plan.typed_name || same_file(name, plan.source_name) ||
           same_file(name, plan.typed_name);
}

/// The file an image already holds at `name`, when it is these bytes.
bool holds(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string held;
    std::string ignored;
    return read_whole_file(name, kMaxTapeImage, held, ignored) &&
           std::equal(held.begin(), held.end(), bytes.begin(), bytes.end(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

OutputSource output_source(const RunPlan& plan, const std::string& path, const Build& build,
                           const play::Passage* passage) {
    OutputSource source = build_output_source(build, path, plan.tape_name, plan.tape_name_given, writes_image(plan));
    source.passage = passage;
    if (passage != nullptr) source.map = &build.analysis.map();
    source.passage_given = plan.passage.given();
    source.cassette = plan.cassette;
    return source;
}

/// Writes one file; an image played is left alone when nothing changes.
FileResult write_one(const RunPlan& plan, const std::string& path, const Build& build,
                     const OutputKind& kind, const OutputSource& source) {
    FileResult result;
    result.kind = &kind;
    result.name = file_name(plan, path, kind);
    if (&kind == &image_output() && build.from_image()) {
        const std::vector<std::uint8_t> bytes = output_bytes(kind, source);
        result.size = bytes.size();
        // Listening to an image needs no write access: an unchanged image
        // is not written at all.
        if (plan.output_given ? holds(result.name, bytes) : bytes == build.image) {
            result.ok = true;
            return result;
        }
        result.ok = write_file_atomically(result.name, bytes, result.error);
        result.written = result.ok;
        return result;
    }
    result.ok = write_file_atomically(
        result.name,
        [&](const ByteSink& sink) {
            return kind.make(source, [&](std::span<const std::uint8_t> piece) {
                result.size += piece.size();
                return sink(piece);
            });
        },
        result.error);
    result.written = result.ok;
    return result;
}

/// Whether the run plays the passage or writes a file that sounds it.
bool sounds_passage(const RunPlan& plan) {
    const std::vector<const OutputKind*> kinds = plan.extra_outputs();
    return plan.play || std::any_of(kinds.begin(), kinds.end(), [](const OutputKind* k) { return k->sounds; });
}

}  // namespace

bool find_source(const RunPlan& plan, bool must_exist, std::string& path, std::ostream& err) {
    path = plan.source_name;
    if (plan.typed_name == plan.source_name) return true;  // the reader tells what is wrong
    const bool normalised = path_exists(plan.source_name);
    const bool typed = path_exists(plan.typed_name);
    if (plan.kind == SourceKind::midi && (typed || normalised)) {
        // song.MID beside song.mid is most likely zirvon's own /midi export
        // of it: the file named is the one meant.
        if (!typed) {
            err << kProgram << "warning: '" << plan.typed_name << "' does not exist; reading '"
                << plan.source_name << "'\n";
        }
        path = typed ? plan.typed_name : plan.source_name;
        return true;
    }
    if (normalised && typed && !same_file(plan.source_name, plan.typed_name)) {
        err << kProgram << "warning: both '" << plan.source_name << "' and '" << plan.typed_name
            << "' exist; reading '" << plan.source_name << "'\n";
    }
    if (normalised) return true;
    if (typed || !must_exist) {
        path = plan.typed_name;
        return true;
    }
    std::string why;
    file_kind(plan.source_name, why);
    err << kProgram << "cannot read '" << plan.typed_name << "' (tried '" << plan.source_name << "' and '"
        << plan.typed_name << "'): " << why << '\n';
    return false;
}

std::optional<int> check_run(const RunPlan& plan, const std::string& path, std::ostream& err) {
    if (plan.output_given && plan.kind != SourceKind::tape) {
        if (same_file(path, plan.output_name)) {
            err << kProgram << "'" << plan.output_name << "' is the source itself; the image would replace it\n";
            return kExitUsage;
        }
        if (names_the_source(plan, plan.output_name)) {
            err << kProgram << "'" << plan.output_name << "' would be read as the source by the next 'zirvon "
                << plan.typed_name << "'; the image needs another name\n";
            return kExitUsage;
        }
    }
    if (plan.kind == SourceKind::tape && plan.tape_name_given && !writes_image(plan)) {
        // Only a recording for the machine, and the MML that builds the image
        // again, carry a name the image does not get.
        const std::vector<const OutputKind*> outputs = plan.extra_outputs();
        if (std::none_of(outputs.begin(), outputs.end(),
                         [](const OutputKind* k) { return k->option == "cassette" || k->option == "mml"; })) {
            err << kProgram << "warning: tape name '" << plan.tape_name
                << "' is not used: the image is renamed only when it is played or nothing else is asked of it ('zirvon "
                << plan.typed_name << " " << plan.tape_name << "')\n";
        }
    }
    if (plan.output_given && !writes_image(plan) && plan.extra_outputs().empty()) {
        err << kProgram << "warning: '" << plan.output_name << "' is not written: "
            << (plan.list ? "/list" : "/play of an MML source") << " writes no image\n";
    }
    // Every file of the run: no two on one name, none on the source.
    std::vector<std::pair<const OutputKind*, std::string>> files;
    for (const OutputKind* kind : files_to_write(plan)) {
        const std::string name = file_name(plan, path, *kind);
        for (const auto& [other, other_name] : files) {
            if (other_name == name || same_file(other_name, name)) {
                err << kProgram << other->noun << " and " << kind->noun << " would both be written to '" << name
                    << "'; name another file with -o\n";
                return kExitUsage;
            }
        }
        const bool image_in_place = kind == &image_output() && plan.kind == SourceKind::tape;
        if (!image_in_place && (name == path || same_file(name, path))) {
            err << kProgram << "'" << name << "' is the source itself; " << kind->noun
                << " would replace it: name another file with -o\n";
            return kExitUsage;
        }
        // A recording is never written over, nor given a twin that the next
        // run would read in its place (song.WAV beside song.wav).
        if (plan.kind == SourceKind::recording && names_the_source(plan, name)) {
            err << kProgram << "'" << name << "' would be read as the recording by the next 'zirvon "
                << plan.typed_name << "'; a recording is never written over: name another file with -o\n";
            return kExitUsage;
        }
        if (kind->option == "mml") {
            if (const std::optional<int> status = check_mml_file(plan, name, *kind, err)) return status;
        }
        files.emplace_back(kind, name);
    }
    return std::nullopt;
}

bool make_build(const RunPlan& plan, const std::string& path, std::string bytes, Build& build,
                std::string& error) {
    if (plan.kind == SourceKind::recording) return make_recording_build(plan, path, build, error);
    const EventPlaces places = plan.reads_places() ? EventPlaces::recorded : EventPlaces::skipped;
    if (!make_build(plan.kind, path, std::move(bytes), places, build, error)) return false;
    if (build.from_image() && plan.asks_for(*output_for_option("mml"))) {
        build.mml = song_as_mml(output_source(plan, path, build, nullptr));
    }
    return true;
}

bool read_build(const RunPlan& plan, const std::string& path, Build& build, std::string& error) {
    // A recording is read by the audio-file reader, samples and not bytes.
    if (plan.kind == SourceKind::recording) return make_recording_build(plan, path, build, error);
    std::string bytes;
    const bool read = plan.kind == SourceKind::tape   ? read_whole_file(path, kMaxTapeImage, bytes, error)
                      : plan.kind == SourceKind::midi ? read_whole_file(path, kMaxMidiFile, bytes, error)
                                                      : read_source_file(path, bytes, error);
    if (read && plan.kind == SourceKind::midi && bytes.size() > kMaxMidiFile) {
        error = "cannot read '" + path + "': it is longer than " + with_commas(kMaxMidiFile) +
                " bytes, more than a MIDI file of a song holds";
        return false;
    }
    return read && make_build(plan, path, std::move(bytes), build, error);
}

bool writes_image(const RunPlan& plan) {
    if (plan.kind == SourceKind::tape) {
        // Played, it is written back; with a tape name and nothing else, renamed.
        return plan.play || (plan.tape_name_given && !plan.list && plan.extra_outputs().empty());
    }
    // A recording gives its images when nothing else is asked of it.
    if (plan.kind == SourceKind::recording) return !plan.play && !plan.list && plan.extra_outputs().empty();
    if (plan.list || plan.play) return false;
    // /mml alone writes MML, not an image; a MIDI file becomes an image as
    // MML would only with an output besides MML.
    const std::vector<const OutputKind*> outputs = plan.extra_outputs();
    const bool only_mml = !outputs.empty() && std::all_of(outputs.begin(), outputs.end(), [](const OutputKind* k) {
        return k->option == "mml";
    });
    return !only_mml && (plan.kind != SourceKind::midi || !outputs.empty());
}

std::vector<const OutputKind*> files_to_write(const RunPlan& plan) {
    std::vector<const OutputKind*> kinds = plan.extra_outputs();
    if (writes_image(plan)) kinds.push_back(&image_output());
    return kinds;
}

std::string file_name(const RunPlan& plan, const std::string& path, const OutputKind& kind) {
    if (&kind == &image_output() && plan.kind == SourceKind::tape && !plan.output_given) return path;
    return output_file_name(plan.output_name, kind);
}

std::vector<FileResult> write_files(const RunPlan& plan, const std::string& path, const Build& build,
                                    const std::vector<const OutputKind*>& kinds,
                                    const play::Passage* passage, bool stop_at_failure) {
    const OutputSource source = output_source(plan, path, build, passage);
    std::vector<FileResult> results;
    for (const OutputKind* kind : kinds) {
        if (kind->refusal == nullptr) continue;
        std::string why = kind->refusal(source, file_name(plan, path, *kind));
        if (why.empty()) continue;
        results.push_back({kind, file_name(plan, path, *kind), false, false, 0, std::move(why), true});
        if (stop_at_failure) return results;
    }
    for (const OutputKind* kind : kinds) {
        const bool refused = std::any_of(results.begin(), results.end(),
                                         [&](const FileResult& r) { return r.kind == kind; });
        if (refused) continue;
        if (kind == &image_output() && plan.kind == SourceKind::recording) {
            for (FileResult& result : write_recorded_images(plan, build)) results.push_back(std::move(result));
            if (!results.empty() && !results.back().ok && stop_at_failure) break;
            continue;
        }
        results.push_back(write_one(plan, path, build, *kind, source));
        if (!results.back().ok && stop_at_failure) break;
    }
    return results;
}

std::vector<std::uint8_t> run_image(const RunPlan& plan, const std::string& path, const Build& build) {
    return image_bytes(output_source(plan, path, build, nullptr));
}

std::vector<SoundWarning> run_sound_warnings(const RunPlan& plan, const Build& build, const play::Passage& passage) {
    if (!sounds_passage(plan)) return {};
    return sound_warnings(build, passage, plan.passage.solo || plan.passage.mute);
}

}  // namespace zirvon
