#include "app/watch.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/file_watch.h"
#include "app/pipeline.h"
#include "live/live_loop.h"
#include "live/live_session.h"
#include "live/open_output.h"
#include "live/preview.h"
#include "live/progress.h"
#include "outputs/diagnostic_printer.h"
#include "outputs/passage_errors.h"
#include "system/file_kind.h"
#include "system/interrupt.h"
#include "system/terminal.h"
#include "text/format.h"

namespace zirvon {
namespace {

using Clock = std::chrono::steady_clock;

/// How often the progress line is brought up to date.
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

/// The time of day, "12:03:41", that starts every status line.
std::string time_of_day() {
    const std::time_t now = std::time(nullptr);
    char text[16] = "??:??:??";
    // Only this thread asks for the local time.
    if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, "%H:%M:%S", local);
    return text;
}

/// That the file `name` was not written: "song.MZT left as it was", or
/// "song.MZT not written" when there was none to leave.
std::string not_written(const std::string& name) {
    return name + (path_exists(name) ? " left as it was" : " not written");
}

/// "; song.MID written (567 bytes)" for each file, the image first, or
/// what went wrong and that the file was left as it was.
std::string files_text(const std::vector<FileResult>& results, int warnings) {
    std::string text;
    const auto describe = [&](const FileResult& r) {
        if (!r.ok) return r.error + "; " + not_written(r.name);
        std::string done = r.name + " written (" + with_commas(r.size) + " bytes";
        if (r.kind == &image_output() && warnings != 0) done += ", " + counted(warnings, "warning");
        return done + ")";
    };
    for (const FileResult& r : results) {
        if (r.kind == &image_output()) text = "; " + describe(r) + text;
    }
    for (const FileResult& r : results) {
        if (r.kind != &image_output()) text += "; " + describe(r);
    }
    return text;
}

class Watcher {
public:
    Watcher(const RunPlan& plan, const std::string& path, std::ostream& err)
        : plan_(plan), err_(err), file_(path) {}

    int run();

private:
    void handle(FileWatch::Event event);
    /// Compiles what was saved, printing its problems; nothing when it has errors.
    std::shared_ptr<const Build> rebuild();
    void write_outputs(const std::shared_ptr<const Build>& build);
    void replay(const std::shared_ptr<const Build>& build);
    /// Writes the files the options ask for besides the image, of `passage`
    /// (or says why they are left as they were); what to add to the status line.
    std::string write_extras(const Build& build, const std::optional<play::Passage>& passage,
                             const std::string& passage_error);
    /// Says what a build that sounds `passage` should know before it does.
    void warn_about(const Build& build, const play::Passage& passage);
    live::ProgressText progress_text();
    void status(const std::string& text);
    void hide_progress() {
        if (progress_) progress_->clear();
    }

    const RunPlan& plan_;
    std::ostream& err_;
    FileWatch file_;
    int errors_ = 0;
    int warnings_ = 0;

    // With /play: the output, what it plays, and the progress line.
    std::unique_ptr<play::LiveOutput> output_;
    std::optional<live::LiveSession> session_;
    std::optional<live::ProgressLine> progress_;
    std::uint64_t serial_ = 0;  ///< of the passage last handed to the session
    bool playing_ = false;      ///< whether that was a passage, not silence
    std::shared_ptr<const Build> playing_build_;
    play::Passage passage_;
    bool gone_ = false;
};

void Watcher::status(const std::string& text) {
    hide_progress();
    err_ << time_of_day() << ' ' << text << '\n';
    err_.flush();
}

std::shared_ptr<const Build> Watcher::rebuild() {
    hide_progress();
    auto build = std::make_shared<Build>();
    std::string error;
    if (!make_build(plan_, file_.path(), file_.contents(), *build, error)) {
        err_ << kProgram << error << '\n';
        errors_ = 1;
        warnings_ = 0;
        return nullptr;
    }
    const SourceAnalysis& analysis = build->analysis;
    print_diagnostics(err_, file_.path(), analysis.source, analysis.diagnostics);
    errors_ = analysis.counts.errors;
    warnings_ = analysis.counts.warnings;
    // Playing goes on through errors that lie outside the passage; replay()
    // tells which.
    if (!analysis.ok() && !plan_.play) return nullptr;
    return build;
}

std::string Watcher::write_extras(const Build& build, const std::optional<play::Passage>& passage,
                                  const std::string& passage_error) {
    const std::vector<const OutputKind*> extras = plan_.extra_outputs();
    if (extras.empty()) return {};
    if (!passage) {
        const std::vector<std::string> names = extra_output_names(plan_);
        return "; " + joined(names) + (names.size() == 1 ? " left as it was: " : " left as they were: ") +
               passage_error;
    }
    return files_text(write_files(plan_, file_.path(), build, extras, &*passage, false), warnings_);
}

void Watcher::warn_about(const Build& build, const play::Passage& passage) {
    for (const SoundWarning& warning : run_sound_warnings(plan_, build, passage)) {
        err_ << "zirvon: warning: " << warning.text << '\n';
    }
}

void Watcher::write_outputs(const std::shared_ptr<const Build>& build) {
    if (!build) {
        status(counted(errors_, "error") + "; " + not_written(plan_.output_name));
        return;
    }
    // An editor that empties the file, a crash, a full disk: what was saved
    // holds nothing to hear, and the last good image is worth more.
    if (build->nothing_to_hear()) {
        status("nothing to hear; " + not_written(plan_.output_name));
        return;
    }
    std::string error;
    std::optional<play::Passage> passage;
    if (plan_.asks_for_a_passage()) passage = build_passage(plan_.passage, *build, error);
    if (passage) warn_about(*build, *passage);
    std::string text =
        files_text(write_files(plan_, file_.path(), *build, {&image_output()}, nullptr, false), warnings_);
    text += write_extras(*build, passage, error);
    status(text.substr(2));
}

void Watcher::replay(const std::shared_ptr<const Build>& build) {
    if (!build || build->nothing_to_hear()) {
        serial_ = session_->hush();
        playing_ = false;
        status((build ? std::string("nothing to hear") : counted(errors_, "error")) + "; waiting for a change");
        return;
    }
    std::string error;
    const std::optional<play::Passage> passage = build_passage(plan_.passage, *build, error);
    // With errors the song may lack the passage asked for: they come first.
    const PassageVerdict verdict =
        passage ? play_around_errors(build->analysis, *passage, "nothing played", {}) : PassageVerdict{false, error, {}};
    if (!verdict.plays) {
        serial_ = session_->hush();
        playing_ = false;
        const std::string why = errors_ != 0 ? counted(errors_, "error") + "; nothing played: " : "error: ";
        status(why + verdict.refusal + "; waiting for a change");
        return;
    }
    warn_about(*build, *passage);
    playing_build_ = build;
    passage_ = *passage;
    serial_ = session_->play(std::shared_ptr<const Song>(build, &build->analysis.song), passage_, plan_.loop);
    playing_ = true;
    std::string text = "playing " + file_.path();
    if (!verdict.summary.empty()) text += " (" + verdict.summary + ")";
    // The files of a song with errors stay as they were, as without /play.
    if (errors_ != 0) status(text + write_extras(*build, std::nullopt, counted(errors_, "error")));
    else status(text + write_extras(*build, passage, error));
}

live::ProgressText Watcher::progress_text() {
    if (gone_) return {"Waiting for ", file_.path(), " to come back"};
    const live::LiveSession::Position at = session_->position();
    if (at.serial != serial_) return {};  // the clock has not taken the last change yet
    if (playing_ && at.state == live::LiveSession::State::playing) {
        return live::progress_text(file_.path() + " on " + output_->name(), playing_build_->analysis.map(),
                                   passage_, at.ticks, at.song_tick);
    }
    if (playing_) return {"Played ", file_.path(), " to the end; waiting for a change"};
    return {"Waiting for a change to ", file_.path(), ""};
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
    const std::shared_ptr<const Build> build = rebuild();
    if (session_) {
        replay(build);
    } else {
        write_outputs(build);
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
            err_ << kProgram << error << '\n';
            return kExitFailure;
        }
        if (stderr_is_terminal()) progress_.emplace(stderr);
    }

    handle(file_.first(Clock::now()));
    auto next_poll = Clock::now() + FileWatch::kPollEvery;
    live::LoopHooks hooks;
    hooks.step = [&](Clock::time_point now) {
        if (now >= next_poll) {
            handle(file_.poll(now));
            // Keep to the 100 ms rhythm; after a long build, start it afresh.
            next_poll += FileWatch::kPollEvery;
            if (next_poll <= Clock::now()) next_poll = Clock::now() + FileWatch::kPollEvery;
        }
        return true;
    };
    if (session_) hooks.progress = [this] { return progress_text(); };
    hooks.progress_every = kProgressEvery;
    std::string why;
    const live::LoopEnd end =
        live::run_live_loop(interrupt, session_ ? &*session_ : nullptr, progress_ ? &*progress_ : nullptr, hooks, why);
    hide_progress();
    if (end == live::LoopEnd::lost) {
        err_ << kProgram << why << '\n';
        return kExitFailure;
    }
    err_ << "zirvon: stopped watching " << file_.path() << '\n';
    return kExitInterrupted;
}

}  // namespace

int watch_source(const RunPlan& plan, const std::string& path, std::ostream& err) {
    return Watcher(plan, path, err).run();
}

}  // namespace zirvon
