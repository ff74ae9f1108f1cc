#include "app/audio_commands.h"

#include <cctype>
#include <cstdio>

#include "app/run.h"
#include "audio/audio_port.h"
#include "synth/wav_file.h"
#include "synth/wav_render.h"
#include "play/passage.h"
#include "play/player.h"
#include "outputs/messages.h"
#include "system/output_file.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

}  // namespace

bool write_wav(const RunPlan& plan, const Song& song, const play::Passage& passage, std::ostream& err) {
    const std::string name = output_name_for(plan, ".WAV");
    // The passage's length is known before it plays, so the header is right
    // from the start.
    const std::uint64_t done_tick = passage.length();
    if (!fits_wav_file(done_tick)) {
        err << kProgram << wav_too_long_error(name, plan.passage.given(), done_tick) << '\n';
        return false;
    }
    AtomicWriter file;
    std::string error;
    if (!file.open(name, error)) {
        err << kProgram << error << '\n';
        return false;
    }
    synth::WavRender render(done_tick, [&](std::span<const std::uint8_t> bytes) {
        return file.write(bytes, error);
    });
    play::play_passage(song, passage, [&](std::uint64_t tick, const play::MidiMessage& message) {
        render.add(tick, message);
    });
    if (!render.finish() || !file.commit(error)) {
        err << kProgram << error << '\n';
        return false;
    }
    return true;
}

}  // namespace zirvon
