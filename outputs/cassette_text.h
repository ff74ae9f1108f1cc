// The words of the cassette recording: the choices after /cassette= (how
// the recording for the machine's tape input is made), and what a recording
// comes to, as the command line and the page say it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cassette/cassette_format.h"

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

}  // namespace zirvon
