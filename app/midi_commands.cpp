#include "app/midi_commands.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "app/run.h"
#include "midi/live_port.h"
#include "midi/midi_file.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "play/player.h"
#include "play/preview.h"
#include "play/terminal.h"
#include "tape/output_file.h"
#include "tape/tape_image.h"

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
    if (names.empty()) {
        err << kProgram << midi::no_port_message() << '\n';
        return kExitFailure;
    }
    for (std::size_t i = 0; i < names.size(); ++i) out << i << ": " << names[i] << '\n';
    return kExitSuccess;
}

std::string midi_file_name(const std::string& output_name) {
    constexpr std::string_view kImage = ".MZT";
    std::string_view base = output_name;
    if (base.ends_with(kImage)) base.remove_suffix(kImage.size());
    return std::string(base) + ".MID";
}

void warn_about_left_out_notes(int count, std::ostream& err) {
    if (count == 0) return;
    err << kProgram << "warning: " << count
        << (count == 1 ? " note lies above MIDI note 127 and is" : " notes lie above MIDI note 127 and are")
        << " left out\n";
}

bool write_midi(const RunPlan& plan, const Song& song, const play::Passage& passage, std::string& error,
                std::size_t* size) {
    const midi::MidiFileBytes file = midi::build_midi_file(song, passage);
    if (size) *size = file.bytes.size();
    return write_file_atomically(midi_file_name(plan.output_name), file.bytes, error);
}

std::unique_ptr<play::LiveOutput> open_live_output(const RunPlan& plan, std::string& error) {
    auto port = std::make_unique<midi::LivePort>();
    if (!port->open(midi::effective_port_choice(plan.port, std::getenv(midi::kPortVariable)), error)) {
        return nullptr;
    }
    return port;
}

int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err) {
    std::string error;
    const std::unique_ptr<play::LiveOutput> output = open_live_output(plan, error);
    if (!output) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    play::PreviewOptions options;
    options.title = plan.source_name;
    options.show_progress = play::stderr_is_terminal();
    options.loop = plan.loop;
    const play::PreviewResult result = play::play_live(song, map, passage, *output, options);
    switch (result.outcome) {
        case play::PreviewOutcome::failed:
        case play::PreviewOutcome::lost:
            err << kProgram << result.error << '\n';
            return kExitFailure;
        case play::PreviewOutcome::interrupted:
            err << kProgram << "preview interrupted";
            if (plan.kind == SourceKind::tape) err << "; '" << path << "' is left as it was";
            err << '\n';
            return kExitInterrupted;
        case play::PreviewOutcome::finished:
            break;
    }
    if (plan.kind == SourceKind::tape) {
        std::string save_error;
        if (!save_tape(path, song, plan.tape_name, save_error)) {
            err << kProgram << save_error << '\n';
            return kExitFailure;
        }
    }
    return kExitSuccess;
}

}  // namespace zirvon
