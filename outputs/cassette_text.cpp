#include "outputs/cassette_text.h"

#include <algorithm>
#include <cmath>

#include "cassette/cassette_writer.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"
#include "text/format.h"
#include "text/words.h"

namespace zirvon {
namespace {

constexpr std::uint16_t kMusicLoadAddress = 0x315A;

std::uint16_t field16(const std::array<std::uint8_t, 128>& header, std::size_t at) {
    return static_cast<std::uint16_t>(header[at] | header[at + 1] << 8);
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

/// How the recording differs from the ideal wave: "the tape runs 3 % fast,
/// the wave is inverted"; empty when it does not.
std::string speed_note(const cassette::TapeFileFound& file) {
    std::string note;
    const long percent = std::lround((file.speed - 1.0) * 100);
    if (percent != 0) {
        note = "the tape runs " + std::to_string(std::labs(percent)) + " % " + (percent > 0 ? "fast" : "slow");
    }
    if (file.inverted) note += std::string(note.empty() ? "" : ", ") + "the wave is inverted";
    return note;
}

/// Which of the four choices a word sets.
enum class Choice { layout, polarity, rate, size };

struct Word {
    std::string_view word;
    Choice choice;
    int value;
};

constexpr Word kWords[] = {
    {"standard", Choice::layout, 0}, {"fast", Choice::layout, 1},      {"inverted", Choice::polarity, 1},
    {"22050", Choice::rate, 22050},  {"44100", Choice::rate, 44100},   {"48000", Choice::rate, 48000},
    {"8bit", Choice::size, 8},       {"16bit", Choice::size, 16},
};

constexpr std::string_view kHelp =
    "write fast or standard, inverted, a rate (22050, 44100 or 48000) and a sample size (8bit or 16bit), "
    "joined by commas, such as fast,inverted,48000";

}  // namespace

bool parse_cassette_choices(std::string_view value, cassette::CassetteFormat& format, std::string& error) {
    const std::string what = "/cassette=" + std::string(value);
    if (value.empty()) {
        error = "/cassette= needs choices; " + std::string(kHelp) + " (/cassette alone writes the standard layout)";
        return false;
    }
    cassette::CassetteFormat chosen;
    const Word* seen[4] = {};
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t comma = std::min(value.find(',', start), value.size());
        const std::string_view item = value.substr(start, comma - start);
        start = comma + 1;
        const Word* word = nullptr;
        for (const Word& w : kWords) {
            if (same_letters(item, w.word)) word = &w;
        }
        if (word == nullptr) {
            error = what + ": '" + std::string(item) + "' is not a choice; " + std::string(kHelp);
            return false;
        }
        const Word*& before = seen[static_cast<int>(word->choice)];
        if (before != nullptr && before->value != word->value) {
            error = what + ": " + std::string(before->word) + " and " + std::string(word->word) +
                    " do not go together; choose one";
            return false;
        }
        before = word;
        switch (word->choice) {
            case Choice::layout: chosen.fast = word->value == 1; break;
            case Choice::polarity: chosen.inverted = true; break;
            case Choice::rate: chosen.sample_rate = word->value; break;
            case Choice::size: chosen.sample_bits = word->value; break;
        }
    }
    format = chosen;
    return true;
}

std::string monitor_name(std::string_view name) {
    std::string shown;
    // The monitor's character set agrees with ASCII from the space to ']'
    // (capitals, digits, punctuation); elsewhere it has signs of its own.
    for (char c : name) shown += c >= ' ' && c <= ']' ? c : '?';
    return shown;
}

bool is_music_file(const cassette::TapeFileFound& file) {
    return file.header[0] == kTapeAttribute && field16(file.header, kLoadField) == kMusicLoadAddress &&
           !file.data.empty();
}

std::vector<std::uint8_t> found_image(const cassette::TapeFileFound& file) {
    std::vector<std::uint8_t> image(file.header.begin(), file.header.end());
    image.insert(image.end(), file.data.begin(), file.data.end());
    return image;
}

std::vector<std::string> recording_listing(std::string_view path, const cassette::CassetteReading& reading) {
    std::string head = "'";
    head.append(path).append("': ").append(counted(reading.files.size(), "file")).append(" found");
    if (!reading.files.empty()) {
        if (const std::string note = speed_note(reading.files.front()); !note.empty()) head += " (" + note + ")";
    }
    std::vector<std::string> lines{head};
    for (std::size_t i = 0; i < reading.files.size(); ++i) {
        lines.push_back(file_line(i + 1, reading.files[i]) + (is_music_file(reading.files[i]) ? "" : "; not music, not written"));
    }
    return lines;
}

std::string cassette_summary(std::span<const std::uint8_t> image, const cassette::CassetteFormat& format,
                             bool with_samples) {
    const auto seconds = [&](const cassette::CassetteFormat& f) {
        return static_cast<std::uint64_t>(cassette::CassetteSignal(image, f).seconds() + 0.5);
    };
    const std::uint64_t length = seconds(format);
    std::string text = minutes_seconds(length * kTicksPerSecond) + " of sound, " +
                       (format.fast ? "fast" : "standard") + " layout";
    if (format.fast) {
        cassette::CassetteFormat standard = format;
        standard.fast = false;
        text += " (" + minutes_seconds((seconds(standard) - length) * kTicksPerSecond) + " shorter than the standard)";
    }
    if (format.inverted) text += ", inverted";
    if (with_samples) text += ", " + with_commas(format.sample_rate) + " Hz, " + std::to_string(format.sample_bits) + "-bit";
    return text + "; the machine shows LOADING " +
           monitor_name(read_tape_header(image).name());
}

std::string cassette_written_message(std::string_view file, std::span<const std::uint8_t> image,
                                     const cassette::CassetteFormat& format) {
    return std::string("'").append(file).append("' written: ").append(cassette_summary(image, format));
}

std::string cassette_sent_message(std::string_view path, std::span<const std::uint8_t> image,
                                  const cassette::CassetteFormat& format) {
    // A signal sent plays at the output's rate and sample size, not the file's.
    return std::string("'").append(path).append("' sent: ").append(cassette_summary(image, format, false));
}

RecordingLines recording_lines(std::string_view path, const cassette::CassetteReading& reading,
                               std::string_view not_done) {
    const std::string quoted = std::string("'").append(path).append("'");
    RecordingLines said;
    if (!reading.error.empty()) {
        said.refusal = "cannot decode " + quoted + ": " + reading.error + "; " + std::string(not_done);
        return said;
    }
    if (reading.files.empty()) {
        said.refusal = quoted + " holds no tape signal";
        return said;
    }
    said.lines = recording_listing(path, reading);
    for (const std::string& warning : reading.warnings) {
        said.lines.push_back(std::string("warning: ").append(path).append(": ").append(warning));
    }
    if (std::none_of(reading.files.begin(), reading.files.end(), is_music_file)) {
        said.no_music = "no music image on " + quoted + ": " + std::string(not_done);
    }
    return said;
}

}  // namespace zirvon
