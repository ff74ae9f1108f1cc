// The audio outputs of Linux and other POSIX systems, in the order they are
// tried: a JACK server where one runs, through libjack itself; else
// RtAudio's default output, which reaches PulseAudio and ALSA.
#include "audio/audio_backend.h"
#include "audio/jack_output.h"
#include "audio/rtaudio_output.h"

namespace zirvon::audio {

std::vector<std::unique_ptr<AudioBackend>> audio_backends(bool name_just_freed) {
    std::vector<std::unique_ptr<AudioBackend>> list;
    list.push_back(std::make_unique<JackOutput>(name_just_freed));
    list.push_back(std::make_unique<RtAudioOutput>(/*skip_jack=*/true));  // JACK was asked above
    return list;
}

}  // namespace zirvon::audio
