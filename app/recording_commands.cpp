#include "app/recording_commands.h"

#include "cassette/cassette_reader.h"
#include "outputs/cassette_text.h"
#include "system/output_file.h"
#include "system/sound_file.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"
#include "text/format.h"

namespace zirvon {
namespace {

constexpr std::uint16_t kMusicLoadAddress = 0x315A;

}  // namespace

bool make_recording_build(const RunPlan& plan, const std::string& path, Build& build, std::string& error) {
    build = Build{};
    build.analysis.name = path;
    std::vector<std::vector<float>> channels;
    int rate = 0;
    if (!read_sound_file(path, channels, rate, error)) return false;
    const cassette::CassetteReading reading = cassette::read_cassette(channels, rate);
    RecordingLines said = recording_lines(path, reading, "nothing written");
    if (!said.refusal.empty()) {
        error = std::move(said.refusal);
        return false;
    }
    build.messages = std::move(said.lines);
    for (std::size_t i = 0; i < reading.files.size(); ++i) {
        if (!is_music_file(reading.files[i])) continue;
        build.recorded.push_back(found_image(reading.files[i]));
        build.recorded_file.push_back(i + 1);
    }

    // The file the run works on: /file=N, or the first music image.
    std::size_t chosen = 0;
    if (plan.file_number) {
        if (*plan.file_number > reading.files.size()) {
            error = "/file=" + std::to_string(*plan.file_number) + ": '" + path + "' holds " +
                    counted(reading.files.size(), "file");
            return false;
        }
        if (!is_music_file(reading.files[*plan.file_number - 1])) {
            error = "/file=" + std::to_string(*plan.file_number) + ": file " + std::to_string(*plan.file_number) +
                    " of '" + path + "' is not a music image (attribute " + hex(kTapeAttribute, 2) + ", load " +
                    hex(kMusicLoadAddress, 4) + ")";
            return false;
        }
        for (std::size_t k = 0; k < build.recorded_file.size(); ++k) {
            if (build.recorded_file[k] == *plan.file_number) chosen = k;
        }
    }
    if (build.recorded.empty()) {
        // Listed and nothing more: there is no song to play, list or write.
        const bool needs_song = plan.play || plan.list || !plan.extra_outputs().empty();
        if (needs_song) {
            error = "'" + path + "' holds no music image (attribute " + hex(kTapeAttribute, 2) + ", load " +
                    hex(kMusicLoadAddress, 4) + "); nothing to work on";
            return false;
        }
        build.messages.push_back(std::move(said.no_music));
        return true;
    }
    const std::vector<std::uint8_t>& image = build.recorded[chosen];
    const std::string name = path + ", file " + std::to_string(build.recorded_file[chosen]);
    if (!load_tape_file(name, image, build.analysis.song, error)) return false;
    build.image = image;
    return true;
}

std::vector<std::string> recorded_image_names(const RunPlan& plan, std::size_t count) {
    if (count == 1) return {plan.output_name};
    const std::string& name = plan.output_name;
    const std::size_t folder_end = name.find_last_of("/\\:");
    const std::size_t dot = name.rfind('.');
    const bool has_extension = dot != std::string::npos && (folder_end == std::string::npos || dot > folder_end + 1);
    const std::string stem = has_extension ? name.substr(0, dot) : name;
    const std::string extension = has_extension ? name.substr(dot) : std::string();
    std::vector<std::string> names;
    for (std::size_t k = 1; k <= count; ++k) names.push_back(stem + "-" + std::to_string(k) + extension);
    return names;
}

std::vector<FileResult> write_recorded_images(const RunPlan& plan, const Build& build) {
    std::vector<FileResult> results;
    const std::vector<std::string> names = recorded_image_names(plan, build.recorded.size());
    for (std::size_t k = 0; k < build.recorded.size(); ++k) {
        std::vector<std::uint8_t> bytes = build.recorded[k];
        // A tape name given renames every image the recording gives.
        if (plan.tape_name_given) {
            const TapeHeader header = make_tape_header(plan.tape_name, bytes.size() - kTapeHeaderSize);
            std::copy(header.begin() + kNameField, header.begin() + kNameField + kNameFieldSize,
                      bytes.begin() + kNameField);
        }
        FileResult result;
        result.kind = &image_output();
        result.name = names[k];
        result.size = bytes.size();
        result.ok = write_file_atomically(result.name, bytes, result.error);
        result.written = result.ok;
        results.push_back(std::move(result));
        if (!results.back().ok) break;
    }
    return results;
}

}  // namespace zirvon
