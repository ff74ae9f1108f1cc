#include "app/watch.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/diagnostic_printer.h"
#include "app/file_watch.h"
#include "app/audio_commands.h"
#include "app/midi_commands.h"
#include "app/picture_commands.h"
#include "app/preview_commands.h"
#include "live/open_output.h"
#include "app/run.h"
#include "mml/analysis.h"
#include "mml/source_text.h"
#include "system/interrupt.h"
#include "live/live_session.h"
#include "play/passage.h"
#include "live/preview.h"
#include "live/progress.h"
#include "system/terminal.h"
#include "song/song.h"
#include "system/file_kind.h"
#include "app/source_files.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// How often the loop looks for Ctrl+C and a lost output: well within a tick.
constexpr auto kStep = 10ms;
/// How often the progress line is brought up to date.
constexpr auto kProgressEvery = 100ms;

/// The time of day, "12:03:41", that starts every status line.
std::string time_of_day() {
    const std::time_t now = std::time(nullptr);
    char text[16] = "??:??:??";
    // Only this thread asks for the local time.
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%H:%M:%S", local);
    return text;
}

/// 1234567 as "1,234,567".
std::string with_commas(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
        text.push_back(digits[i]);
    }
    return text;
}

std::string counted(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

/// One build of the source.
struct Build {
    std::shared_ptr<const Song> song;  ///< empty when the source has errors
    int errors = 0;
    int warnings = 0;
};

/// The file to follow: the one a plain run would read, or, while neither
/// name exists, the name as typed, which is what an editor will create.
std::string followed_path(const RunPlan& plan) {
    if (!path_exists(plan.source_name) && !path_exists(plan.typed_name)) return plan.typed_name;
    return source_path(plan);
}

class Watcher {
public:
    Watcher(const RunPlan& plan, std::ostream& err)
        : plan_(plan), err_(err), file_(followed_path(plan)) {}

    int run();

private:
    void handle(FileWatch::Event event);
    Build build(const std::string& contents);
    void write_outputs(const Build& result);
    void replay(const Build& result);
    std::string write_midi_file(const Song& song, const play::Passage& passage);
    std::string write_files(const Song& song, const play::SongMap& map, const play::Passage& passage);
    void status(const std::string& text);
    void hide_progress() {
        if (progress_) progress_->clear();
    }
    void show_progress();

    const RunPlan& plan_;
    std::ostream& err_;
    FileWatch file_;

    // With /play: the output, what it plays, and the progress line.
    std::unique_ptr<play::LiveOutput> output_;
    std::optional<live::LiveSession> session_;
    std::optional<live::ProgressLine> progress_;
    std::uint64_t serial_ = 0;  ///< of the passage last handed to the session
    bool playing_ = false;      ///< whether that was a passage, not silence
    play::SongMap map_;
    play::Passage passage_;
    bool gone_ = false;
};

void Watcher::status(const std::string& text) {
    hide_progress();
    err_ << time_of_day() << ' ' << text << '\n';
    err_.flush();
}

Build Watcher::build(const std::string& contents) {
    Build result;
    hide_progress();
    if (contents.size() > kMaxSourceSize) {
        err_ << "zirvon: cannot read '" << file_.path() << "': it is larger than "
             << (kMaxSourceSize >> 20) << " MiB, too large for an MML source\n";
        result.errors = 1;
        return result;
    }
    SourceAnalysis analysis = analyze_source(contents, file_.path());
    print_diagnostics(err_, file_.path(), analysis.source, analysis.diagnostics);
    result.errors = analysis.counts.errors;
    result.warnings = analysis.counts.warnings;
    if (analysis.ok()) result.song = std::make_shared<Song>(std::move(analysis.song));
    return result;
}

/// Writes the MIDI file of `passage`; what to add to the status line.
std::string Watcher::write_midi_file(const Song& song, const play::Passage& passage) {
    const std::string name = output_name_for(plan_, ".MID");
    std::string error;
    std::size_t size = 0;
    if (!write_midi(plan_, song, passage, plan_.tape_name.substr(0, kLongestTapeName), error, &size))
        return error + "; " + name + " left as it was";
    return name + " written (" + with_commas(size) + " bytes)";
}

/// Writes the files besides the image that the plan asks for: the MIDI
/// file, the WAV file and the picture of `passage`; what to add to the
/// status line.
std::string Watcher::write_files(const Song& song, const play::SongMap& map, const play::Passage& passage) {
    std::string text;
    if (plan_.midi) text += "; " + write_midi_file(song, passage);
    // The WAV file and the picture say what went wrong as a message line:
    // it goes on the status line instead.
    const auto written = [&](const char* extension, bool ok, const std::ostringstream& message) {
        const std::string name = output_name_for(plan_, extension);
        if (ok) return "; " + name + " written";
        std::string why = message.str();
        if (why.starts_with("zirvon: ")) why.erase(0, 8);
        while (!why.empty() && why.back() == '\n') why.pop_back();
        return "; " + why + "; " + name + " left as it was";
    };
    if (plan_.wav) {
        std::ostringstream message;
        text += written(".WAV", write_wav(plan_, song, passage, message), message);
    }
    if (plan_.svg) {
        std::ostringstream message;
        const bool ok = write_svg(plan_, file_.path(), plan_.tape_name.substr(0, kLongestTapeName), song, map, passage, message);
        text += written(".SVG", ok, message);
    }
    return text;
}

void Watcher::write_outputs(const Build& result) {
    if (!result.song) {
        status(counted(result.errors, "error", "errors") + "; " + plan_.output_name +
               " left as it was");
        return;
    }
    std::string error;
    std::string text;
    if (!save_tape(plan_.output_name, *result.song, plan_.tape_name, error)) {
        text = error + "; " + plan_.output_name + " left as it was";
    } else {
        text = plan_.output_name + " written (" +
               with_commas(kTapeHeaderSize + 3 * result.song->event_count()) + " bytes";
        if (result.warnings != 0) text += ", " + counted(result.warnings, "warning", "warnings");
        text += ")";
    }
    if (plan_.midi || plan_.wav || plan_.svg) {
        const play::SongMap map = play::map_song(*result.song);
        const std::optional<play::Passage> passage =
            play::resolve_passage(plan_.passage.request(), *result.song, map, error);
        if (!passage) {
            const std::vector<std::string> names = extra_output_names(plan_);
            text += "; " + joined(names) + (names.size() == 1 ? " left as it was: " : " left as they were: ") + error;
        } else {
            if (plan_.midi || plan_.wav) {
                warn_about_left_out_notes(play::left_out_notes(*result.song, map, *passage), err_);
            }
            text += write_files(*result.song, map, *passage);
        }
    }
    status(text);
}

void Watcher::replay(const Build& result) {
    if (!result.song) {
        serial_ = session_->hush();
        playing_ = false;
        status(counted(result.errors, "error", "errors") + "; waiting for a change");
        return;
    }
    play::SongMap map = play::map_song(*result.song);
    std::string error;
    const std::optional<play::Passage> passage =
        play::resolve_passage(plan_.passage.request(), *result.song, map, error);
    if (!passage) {
        serial_ = session_->hush();
        playing_ = false;
        status("error: " + error + "; waiting for a change");
        return;
    }
    map_ = std::move(map);
    passage_ = *passage;
    serial_ = session_->play(result.song, passage_, plan_.loop);
    playing_ = true;
    warn_about_left_out_notes(play::left_out_notes(*result.song, map_, passage_), err_);
    std::string text = "playing " + file_.path();
    if (result.warnings != 0) text += " (" + counted(result.warnings, "warning", "warnings") + ")";
    text += write_files(*result.song, map_, passage_);
    status(text);
}

void Watcher::show_progress() {
    if (!progress_) return;
    std::string text;
    if (gone_) {
        text = "Waiting for " + file_.path() + " to come back";
    } else {
        const live::LiveSession::Position at = session_->position();
        if (at.serial != serial_) return;  // the clock has not taken the last change yet
        if (playing_ && at.state == live::LiveSession::State::playing) {
            text = live::progress_text(file_.path() + " on " + output_->name(), map_, passage_, at.ticks,
                                       at.song_tick);
        } else if (playing_) {
            text = "Played " + file_.path() + " to the end; waiting for a change";
        } else {
            text = "Waiting for a change to " + file_.path();
        }
    }
    progress_->show(text);
}

void Watcher::handle(FileWatch::Event event) {
    switch (event) {
        case FileWatch::Event::none:
            return;
        case FileWatch::Event::gone:
            gone_ = true;
            status(file_.path() + " is not there; waiting for it");
            return;
        case FileWatch::Event::unreadable:
            status(file_.why() + "; trying again");
            return;
        case FileWatch::Event::changed:
            break;
    }
    gone_ = false;
    const Build result = build(file_.contents());
    if (session_) {
        replay(result);
    } else {
        write_outputs(result);
    }
}

int Watcher::run() {
    InterruptWatch interrupt;
    if (plan_.play) {
        std::string error;
        output_ = live::open_live_output(plan_.port, error, err_);
        if (output_) {
            session_.emplace(*output_);
            if (!session_->start(error)) session_.reset();
        }
        if (!session_) {
            err_ << "zirvon: " << error << '\n';
            return kExitFailure;
        }
        if (stderr_is_terminal()) progress_.emplace(stderr);
    }

    handle(file_.first(Clock::now()));
    auto next_poll = Clock::now() + FileWatch::kPollEvery;
    auto next_progress = Clock::now();
    std::string why;
    while (!interrupt.requested()) {
        if (session_ && session_->lost(why)) {
            session_->stop();
            session_->silence();
            hide_progress();
            err_ << "zirvon: " << why << '\n';
            return kExitFailure;
        }
        const auto now = Clock::now();
        if (now >= next_poll) {
            handle(file_.poll(now));
            // Keep to the 100 ms rhythm; after a long build, start it afresh.
            next_poll += FileWatch::kPollEvery;
            if (next_poll <= Clock::now()) next_poll = Clock::now() + FileWatch::kPollEvery;
        }
        if (now >= next_progress) {
            show_progress();
            next_progress = now + kProgressEvery;
        }
        std::this_thread::sleep_for(kStep);
    }
    if (session_) {
        session_->stop();
        session_->silence();
    }
    hide_progress();
    err_ << "zirvon: stopped watching " << file_.path() << '\n';
    return kExitInterrupted;
}

}  // namespace

int watch_source(const RunPlan& plan, std::ostream& err) {
    return Watcher(plan, err).run();
}

}  // namespace zirvon
