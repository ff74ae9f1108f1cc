// What the page can ask of the core: one function per call, each reading a
// request and writing its reply, with the bytes it makes handed to `data`
// piece by piece, so that a long song's WAV file is never held whole.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "web/wasm/wire.h"

namespace zirvon::web {

using DataSink = std::function<void(std::span<const std::uint8_t>)>;

enum class Call : int {
    compile = 0,  ///< the image of an MML source
    list = 1,     ///< /list of a source or an image
    midi = 2,     ///< the .MID of /midi
    wav = 3,      ///< the .WAV of /wav
    svg = 4,      ///< the .SVG of /svg
    image = 5,    ///< an image written back, as /play of an image does
    play = 6,     ///< what the player needs to play a passage
    roll = 7,     ///< the picture of a passage and its notes, to follow it
    cassette = 8, ///< the .TAPE.WAV of /cassette, its summary and its parts
    import = 9,   ///< the MML that /mml writes of a MIDI file, and what it kept
};

/// Decodes a recording of `channels` planar channels of `frames` samples at
/// `rate`, and writes the reply: ok, the command line's words when it is
/// refused, the lines that list the files found and the warnings (naming
/// `name`), the line that says it holds no music image, and the music images
/// with their numbers among the files.
void read_recording(const float* samples, std::size_t frames, unsigned channels, unsigned rate,
                    std::string_view name, WireWriter& out);

/// Runs `call` on the request in `in`, writing its reply to `out`. False
/// for an unknown call or a request that is cut short.
bool run_call(int call, WireReader& in, WireWriter& out, const DataSink& data);

}  // namespace zirvon::web
