#include "app/cassette_commands.h"

#include "app/pipeline.h"
#include "live/signal_play.h"
#include "outputs/cassette_text.h"
#include "system/terminal.h"
#include "tape/tape_header.h"

namespace zirvon {

std::string cassette_written_message(const std::string& file, std::span<const std::uint8_t> image,
                                     const cassette::CassetteFormat& format) {
    return "'" + file + "' written: " + cassette_summary(image, format);
}

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
    err << "zirvon: '" << path << "' sent: " << cassette_summary(image, format, false) << '\n';
    return kExitSuccess;
}

}  // namespace zirvon
