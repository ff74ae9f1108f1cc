#include "app/cassette_commands.h"

#include "app/pipeline.h"
#include "live/signal_play.h"
#include "outputs/cassette_text.h"
#include "system/terminal.h"
#include "tape/tape_header.h"

namespace zirvon {

int play_cassette(const std::string& path, std::span<const std::uint8_t> image,
                  const cassette::CassetteFormat& format, std::ostream& err) {
    const live::PreviewResult result = live::play_signal(image, format, path, stderr_is_terminal());
    switch (result.outcome) {
        case live::PreviewOutcome::failed:
        case live::PreviewOutcome::lost:
            err << "zirvon: " << result.error << '\n';
            return kExitFailure;
        case live::PreviewOutcome::interrupted:
            err << "zirvon: sending interrupted; every file is left as it was\n";
            return kExitInterrupted;
        case live::PreviewOutcome::finished:
            break;
    }
    err << "zirvon: " << cassette_sent_message(path, image, format) << '\n';
    return kExitSuccess;
}

}  // namespace zirvon
