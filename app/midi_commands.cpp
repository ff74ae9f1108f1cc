#include "app/midi_commands.h"

#include <vector>

#include "app/run.h"
#include "audio/audio_port.h"
#include "smf/midi_file.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "system/output_file.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

}  // namespace

int list_midi_ports(std::ostream& out, std::ostream& err) {
    std::vector<std::string> names;
    std::string error;
    if (!midi::MidiPort::list_ports(names, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    if (names.empty()) err << kProgram << midi::no_ports_found_message(midi::MidiPort::services()) << '\n';
    for (std::size_t i = 0; i < names.size(); ++i) out << i << ": " << names[i] << '\n';
    // The built-in synthesizer is always listed, with where it would play.
    out << names.size() << ": synth (" << audio::AudioPort::describe() << ")\n";
    return kExitSuccess;
}

void warn_about_left_out_notes(int count, std::ostream& err) {
    if (count == 0) return;
    err << kProgram << "warning: " << count
        << (count == 1 ? " note lies above MIDI note 127 and is" : " notes lie above MIDI note 127 and are")
        << " left out\n";
}

bool write_midi(const RunPlan& plan, const Song& song, const play::Passage& passage, std::string& error,
                std::size_t* size) {
    const smf::MidiFileBytes file = smf::build_midi_file(song, passage);
    if (size) *size = file.bytes.size();
    return write_file_atomically(output_name_for(plan, ".MID"), file.bytes, error);
}

}  // namespace zirvon
