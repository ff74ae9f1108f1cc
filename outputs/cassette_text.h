// The words of the cassette recording: the choices after /cassette= (how
// the recording for the machine's tape input is made), and what a recording
// comes to, as the command line and the page say it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cassette/cassette_format.h"
#include "cassette/cassette_reader.h"

namespace zirvon {

/// Reads `value`, the words after /cassette= joined by commas (fast,
/// standard, inverted, 22050, 44100, 48000, 8bit, 16bit, in any case), into
/// `format`. False with one sentence in `error` for a word that is none of
/// them, or two that contradict each other.
bool parse_cassette_choices(std::string_view value, cassette::CassetteFormat& format, std::string& error);

/// A tape name as the machine's monitor prints it when it finds the file:
/// the characters it shares with ASCII as they are, the others as '?'.
std::string monitor_name(std::string_view name);

/// What the recording of `image` in `format` comes to: "0:22 of sound,
/// standard layout, 44,100 Hz, 16-bit; the machine shows LOADING CANON"
/// (without the rate and sample size when they are not `with_samples`: a
/// signal sent plays at the device's).
std::string cassette_summary(std::span<const std::uint8_t> image, const cassette::CassetteFormat& format,
                             bool with_samples = true);

/// The line after the recording of `image` was written to `file`.
std::string cassette_written_message(std::string_view file, std::span<const std::uint8_t> image,
                                     const cassette::CassetteFormat& format);

/// The line after the recording of `image`, the source at `path`, went out
/// through the speakers.
std::string cassette_sent_message(std::string_view path, std::span<const std::uint8_t> image,
                                  const cassette::CassetteFormat& format);

/// Whether a file found on a recording is a music image: attribute 0xC8,
/// load address 0x315A, and its data read.
bool is_music_file(const cassette::TapeFileFound& file);

/// The image of a file found: its header, then its data.
std::vector<std::uint8_t> found_image(const cassette::TapeFileFound& file);

/// What a recording at `path` holds, as the command line and the page list
/// it: "'tape.wav': 2 files found" (with the tape's speed and polarity when
/// they are not the nominal ones), then a line a file: its number, place,
/// tape name, attribute, size, load address and what the checksums of its
/// copies said, and for a file that is not music that it is not written.
std::vector<std::string> recording_listing(std::string_view path, const cassette::CassetteReading& reading);

/// What reading the recording at `path` says, on the command line and the page.
struct RecordingLines {
    /// Why nothing more is done with it: it cannot be decoded (followed by
    /// `not_done`, "nothing written") or holds no tape signal. Empty when
    /// it holds files.
    std::string refusal;
    /// Unless refused, its listing (recording_listing), then its warnings.
    std::vector<std::string> lines;
    /// When it holds files but none is a music image, the line that says so,
    /// followed by `not_done`.
    std::string no_music;
};
RecordingLines recording_lines(std::string_view path, const cassette::CassetteReading& reading,
                               std::string_view not_done);

}  // namespace zirvon
