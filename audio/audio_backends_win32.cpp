// The audio outputs of Windows, in the order they are tried: the wave mapper.
#include "audio/audio_backend.h"
#include "audio/wave_output.h"

namespace zirvon::audio {

std::vector<std::unique_ptr<AudioBackend>> audio_backends(bool) {
    std::vector<std::unique_ptr<AudioBackend>> list;
    list.push_back(std::make_unique<WaveOutput>());
    return list;
}

}  // namespace zirvon::audio
