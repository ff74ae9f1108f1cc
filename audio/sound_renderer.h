// What an audio device's callback calls for each buffer: the synthesizer on
// the device's clock, or a recorded signal sent as it is. Every back end
// takes either.
#pragma once

#include <cstdint>

namespace zirvon::audio {

class SoundRenderer {
public:
    virtual ~SoundRenderer() = default;
    /// Fills `out` with `frames` stereo frames, left then right, or `left`
    /// and `right` with a channel each. Called on the device's thread: no
    /// allocation, lock or wait.
    virtual void render(float* out, unsigned frames) = 0;
    virtual void render(std::int16_t* out, unsigned frames) = 0;
    virtual void render(float* left, float* right, unsigned frames) = 0;
};

}  // namespace zirvon::audio
