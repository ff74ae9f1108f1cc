#include "app/preview_commands.h"
#include "live/open_output.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "app/pipeline.h"
#include "midi/live_port.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "live/preview.h"
#include "outputs/diagnostic_printer.h"
#include "system/terminal.h"

namespace zirvon {

int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err) {
    std::string error;
    const std::unique_ptr<play::LiveOutput> output = live::open_live_output(plan.port, error, err);
    if (!output) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    live::PreviewOptions options;
    options.title = path;
    options.show_progress = stderr_is_terminal();
    options.loop = plan.loop;
    const live::PreviewResult result = live::play_live(song, map, passage, *output, options);
    switch (result.outcome) {
        case live::PreviewOutcome::failed:
        case live::PreviewOutcome::lost:
            err << kProgram << result.error << '\n';
            return kExitFailure;
        case live::PreviewOutcome::interrupted:
            err << kProgram << "preview interrupted; every file is left as it was\n";
            return kExitInterrupted;
        case live::PreviewOutcome::finished:
            break;
    }
    return kExitSuccess;
}

}  // namespace zirvon
