#include "app/recording_commands.h"

#include <cmath>

#include "cassette/cassette_reader.h"
#include "system/output_file.h"
#include "system/sound_file.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"
#include "text/format.h"

namespace zirvon {
namespace {

constexpr std::uint16_t kMusicLoadAddress = 0x315A;

std::uint16_t field16(const std::array<std::uint8_t, 128>& header, std::size_t at) {
    return static_cast<std::uint16_t>(header[at] | header[at + 1] << 8);
}

bool is_music(const cassette::TapeFileFound& file) {
    return file.header[0] == kTapeAttribute && field16(file.header, kLoadField) == kMusicLoadAddress &&
           !file.data.empty();
}

/// What the checksums said of a block's copies: "both copies ok", "ok (one
/// copy)", "first copy failed, second ok"...
std::string checks(const cassette::BlockCheck& check) {
    if (check.first_ok) {
        if (!check.second_present) return "ok (one copy)";
        return check.second_ok ? "both copies ok" : "first copy ok, second failed";
    }
    if (check.second_ok) return "first copy failed, second ok";
    return "failed";
}

/// One line of the list: number, place, name, attribute, size, load
/// address and the checksums.
std::string file_line(std::size_t number, const cassette::TapeFileFound& file) {
    TapeHeaderFields fields = read_tape_header(file.header);
    std::string name = printable(fields.name());
    name.resize(std::max<std::size_t>(name.size(), 16), ' ');
    std::string line = "  " + std::to_string(number) + "  " +
                       minutes_seconds(static_cast<std::uint64_t>(file.seconds) * kTicksPerSecond) + "  " + name +
                       " attribute " + hex(fields.attribute, 2) + ", " + with_commas(fields.data_size) +
                       " bytes, load " + hex(fields.load_address, 4) + "; header " + checks(file.header_check) +
                       ", data " + (file.data.empty() ? "not read" : checks(file.data_check));
    return line;
}

std::string speed_note(const cassette::TapeFileFound& file) {
    std::string note;
    const long percent = std::lround((file.speed - 1.0) * 100);
    if (percent != 0) note = "runs " + std::to_string(std::labs(percent)) + " % " + (percent > 0 ? "fast" : "slow");
    if (file.inverted) note += std::string(note.empty() ? "" : ", ") + "inverted";
    return note;
}

}  // namespace

bool make_recording_build(const RunPlan& plan, const std::string& path, Build& build, std::string& error) {
    build = Build{};
    build.analysis.name = path;
    std::vector<std::vector<float>> channels;
    int rate = 0;
    if (!read_sound_file(path, channels, rate, error)) return false;
    const cassette::CassetteReading reading = cassette::read_cassette(channels, rate);
    if (!reading.error.empty()) {
        error = "cannot decode '" + path + "': " + reading.error + "; nothing written";
        return false;
    }
    if (reading.files.empty()) {
        error = "'" + path + "' holds no tape signal";
        return false;
    }
    std::string head = "'" + path + "': " + counted(reading.files.size(), "file") + " found";
    if (const std::string note = speed_note(reading.files.front()); !note.empty()) head += " (the tape " + note + ")";
    build.messages.push_back(head);
    for (std::size_t i = 0; i < reading.files.size(); ++i) {
        const cassette::TapeFileFound& file = reading.files[i];
        std::string line = file_line(i + 1, file);
        if (is_music(file)) {
            std::vector<std::uint8_t> image(file.header.begin(), file.header.end());
            image.insert(image.end(), file.data.begin(), file.data.end());
            build.recorded.push_back(std::move(image));
            build.recorded_file.push_back(i + 1);
        } else {
            line += "; not music, not written";
        }
        build.messages.push_back(line);
    }
    for (const std::string& warning : reading.warnings) build.messages.push_back("warning: " + path + ": " + warning);

    // The file the run works on: /file=N, or the first music image.
    std::size_t chosen = 0;
    if (plan.file_number) {
        if (*plan.file_number > reading.files.size()) {
            error = "/file=" + std::to_string(*plan.file_number) + ": '" + path + "' holds " +
                    counted(reading.files.size(), "file");
            return false;
        }
        if (!is_music(reading.files[*plan.file_number - 1])) {
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
        build.messages.push_back("no music image on '" + path + "': nothing written");
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
