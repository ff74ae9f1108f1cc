#include "outputs/song_build.h"

#include <algorithm>

#include "mml/source_text.h"
#include "outputs/listing.h"
#include "outputs/messages.h"
#include "smf/midi_import.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

constexpr std::string_view kNothingToHear = "nothing-to-hear";

bool make_midi_build(const std::string& name, const std::string& bytes, Build& build, std::string& error) {
    ImportedMml imported;
    if (!import_midi_source(name, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, imported,
                            error)) {
        return false;
    }
    build.mml = std::move(imported.mml);
    build.analysis = analyze_source(build.mml->text, name);
    build.messages = std::move(imported.lines);
    if (imported.no_notes) {
        // Said once, in the words of a MIDI file rather than of MML.
        auto& found = build.analysis.diagnostics;
        const auto before = found.size();
        std::erase_if(found, [](const Diagnostic& d) { return d.code == kNothingToHear; });
        build.analysis.counts.warnings -= static_cast<int>(before - found.size());
    }
    return true;
}

}  // namespace

bool Build::nothing_to_hear() const {
    return std::any_of(analysis.diagnostics.begin(), analysis.diagnostics.end(),
                       [](const Diagnostic& d) { return d.code == kNothingToHear; });
}

bool make_build(SourceKind kind, const std::string& name, std::string bytes, EventPlaces places, Build& build,
                std::string& error) {
    build = Build{};
    if (kind == SourceKind::midi) return make_midi_build(name, bytes, build, error);
    if (kind != SourceKind::tape) {
        if (const std::string why = why_not_text(bytes); !why.empty()) {
            error = "'" + name + "' is not MML: " + why;
            return false;
        }
        build.analysis = analyze_source(std::move(bytes), name, places);
        return true;
    }
    build.analysis.name = name;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = std::min(bytes.size(), kTapeFileReadLimit);
    if (!load_tape_file(name, {data, size}, build.analysis.song, error)) return false;
    build.image.assign(data, data + size);
    build.image_tape_name = read_tape_header(build.image).name();
    return true;
}

bool import_midi_source(const std::string& name, std::span<const std::uint8_t> bytes, ImportedMml& imported,
                        std::string& error) {
    smf::ImportedSong song;
    if (!smf::import_midi(bytes, song, error)) {
        error = name + ": " + error;
        return false;
    }
    // The words the MML opens with, so that its lines are the lines compiled.
    imported.mml = write_mml(song.song, {smf::import_comment(name.substr(name.find_last_of("/\\") + 1))});
    imported.lines = smf::summary_lines(song.summary, name);
    imported.no_notes = song.notes.empty();
    if (imported.no_notes) imported.lines.push_back("warning: '" + name + "' holds no notes to import: the song is empty");
    return true;
}

bool read_passage_option(std::string_view option, std::string_view value, PassageOptions& options,
                         std::vector<std::string>& warnings, std::string& error) {
    if (option == "from" || option == "to") {
        play::Bound bound;
        if (!parse_bound(option, value, bound, error)) return false;
        (option == "from" ? options.from : options.to) = bound;
        return true;
    }
    play::TrackMask mask = 0;
    if (!parse_track_list(option, value, mask, warnings, error)) return false;
    (option == "solo" ? options.solo : options.mute) = mask;
    return true;
}

bool take_tape_name(std::string& name, std::string& cut, std::string& error) {
    error = tape_name_refusal(name);
    if (!error.empty()) return false;
    cut = fit_tape_name(name);
    return true;
}

std::optional<play::Passage> build_passage(const PassageOptions& options, const Build& build, std::string& error) {
    return play::resolve_passage(options.request(), build.analysis.song, build.analysis.map(), error);
}

OutputSource build_output_source(const Build& build, std::string_view name, std::string_view tape_name,
                                 bool tape_name_given, bool image_written) {
    OutputSource source;
    source.song = &build.analysis.song;
    source.file_name = name;
    source.image = build.image;
    source.tape_name_given = tape_name_given;
    // The header gets the name given, else an image's own. The picture and
    // the MIDI file show the name the image has after the run: an image
    // that is not written keeps its own.
    const bool renamed = tape_name_given && (!build.from_image() || image_written);
    source.title_tape_name = build.from_image() && !renamed ? std::string_view(build.image_tape_name) : tape_name;
    source.tape_name = tape_name_given || !build.from_image() ? tape_name : std::string_view(build.image_tape_name);
    if (build.mml) source.mml = &*build.mml;
    return source;
}

std::string listed_header(const Build& build, std::string_view name, std::vector<std::string>& warnings) {
    if (!build.from_image()) return {};
    for (const std::string& problem : tape_header_problems(build.image, build.analysis.song)) {
        warnings.push_back(std::string(name) + ": " + problem);
    }
    return tape_header_text(read_tape_header(build.image));
}

std::vector<SoundWarning> sound_warnings(const Build& build, const play::Passage& passage, bool tracks_chosen) {
    std::vector<SoundWarning> warnings;
    const play::SongMap& map = build.analysis.map();
    if (!build.nothing_to_hear()) {
        std::string silence = passage_silence_warning(build.analysis.song, map, passage, tracks_chosen);
        if (!silence.empty()) warnings.push_back({std::move(silence), "silence"});
    }
    if (!build.from_image()) return warnings;
    std::string left_out = passage_left_out_warning(build.analysis.song, map, passage);
    if (!left_out.empty()) warnings.push_back({std::move(left_out), "left-out"});
    return warnings;
}

}  // namespace zirvon
