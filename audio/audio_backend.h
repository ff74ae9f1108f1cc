// One way to reach an audio output: a sound server's client library (JACK),
// a library that reaches several (RtAudio), or the system's own (the wave
// output of Windows). Each is a file of its own; the platform's list of them,
// in the order they are tried, is audio_backends_<platform>.cpp.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/sound_renderer.h"

namespace zirvon::audio {

class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    /// Opens the default output, silent. False when it cannot: with `error`
    /// empty where there is simply none (no server runs, no device), so the
    /// next back end is tried; else with what failed, in the user's words.
    virtual bool open(std::string& error) = 0;
    /// Frames a second, once open.
    virtual unsigned rate() const = 0;
    /// Starts rendering with `renderer` (the synthesizer, or a signal sent
    /// as it is), which outlives close().
    virtual bool start(SoundRenderer& renderer, std::string& error) = 0;
    /// Stops and closes; nothing renders after this returns. Also the
    /// destructor's part.
    virtual void close() = 0;
    /// How long the output holds the audio it is given, once open.
    virtual std::chrono::milliseconds latency() const = 0;
    /// The open output as the user knows it: "JACK", "\"default\" (ALSA)".
    virtual std::string name() const = 0;
    /// What open() tried, for a message that there is no output:
    /// "JACK server \"default\"", "PulseAudio, ALSA",
    /// "RtAudio (librtaudio.so.6 is missing)". A library that cannot be loaded
    /// says so in those words everywhere (SharedLibrary::failure).
    virtual std::string tried() const = 0;
};

/// The platform's back ends, in the order they are tried. With
/// `name_just_freed`, this process has only just closed a client of its own
/// under the name the output asks for, which a server may hold a moment longer.
std::vector<std::unique_ptr<AudioBackend>> audio_backends(bool name_just_freed = false);

/// The first of the platform's back ends that opens. Nothing when none
/// does: `error` then gives the first failure; where none failed, there is
/// no output at all, `tried` names what was tried and `error` says so,
/// ending with `instead`, what the user may do without one.
std::unique_ptr<AudioBackend> open_audio_backend(std::string_view instead, std::string& error, std::string& tried,
                                                 bool name_just_freed = false);

}  // namespace zirvon::audio
