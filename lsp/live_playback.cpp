#include "lsp/live_playback.h"

#include <chrono>
#include <sstream>

#include "live/open_output.h"
#include "lsp/features.h"

namespace zirvon::lsp {
namespace {

constexpr auto kReportPeriod = std::chrono::milliseconds(50);

json notification(const char* method, json params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

}  // namespace

LivePlayback::LivePlayback(Outbox& out) : out_(out), reporter_([this] { report(); }) {}

LivePlayback::~LivePlayback() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        wake_.notify_one();
    }
    reporter_.join();
    std::lock_guard lock(mutex_);
    close();
}

void LivePlayback::close() {
    if (session_) {
        session_->stop();
        session_->silence();
    }
    session_.reset();
    output_.reset();
}

bool LivePlayback::open(const std::optional<std::string>& port, std::string& error) {
    if (session_) return true;
    std::ostringstream said;
    output_ = live::open_live_output(port, error, said);
    if (!output_) return false;
    if (!said.str().empty()) {
        std::string text = said.str();
        while (!text.empty() && text.back() == '\n') text.pop_back();
        out_.send(notification("window/logMessage", {{"type", 3}, {"message", text}}));
    }
    session_ = std::make_unique<live::LiveSession>(*output_);
    if (session_->start(error)) return true;
    session_.reset();
    output_.reset();
    return false;
}

bool LivePlayback::play(const PlayRequest& request, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!open(request.port, error)) return false;
    if (current_) stopped("stopped");
    // The song lives as long as the snapshot it belongs to.
    const std::shared_ptr<const Song> song(request.snapshot, &request.snapshot->analysis.song);
    current_ = Current{request, session_->play(song, request.passage, request.loop)};
    wake_.notify_one();
    return true;
}

bool LivePlayback::open_output(const std::optional<std::string>& port, std::string& error) {
    std::lock_guard lock(mutex_);
    return open(port, error);
}

void LivePlayback::send(const play::MidiMessage& message) {
    std::lock_guard lock(mutex_);
    if (session_) session_->send(message);
}

void LivePlayback::stop() {
    std::lock_guard lock(mutex_);
    if (!session_) return;
    session_->hush();
    if (current_) stopped("stopped");
}

void LivePlayback::stopped(const char* reason, const std::string& message) {
    json params = {{"uri", current_->request.snapshot->uri}, {"reason", reason}};
    if (!message.empty()) params["message"] = message;
    out_.send(notification("zirvon/stopped", std::move(params)));
    current_.reset();
}

void LivePlayback::edited(const std::string& uri) {
    const std::lock_guard lock(mutex_);
    if (current_ && current_->request.snapshot->uri == uri) current_->edited = true;
}

void LivePlayback::report() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!current_) {
            wake_.wait(lock, [this] { return quit_ || current_.has_value(); });
            continue;
        }
        std::string why;
        if (session_->lost(why)) {
            stopped("error", why);
            close();
            continue;
        }
        const live::LiveSession::Position at = session_->position();
        if (at.serial == current_->serial) {
            if (at.state == live::LiveSession::State::ended) {
                stopped("end");
                continue;
            }
            const PlayRequest& r = current_->request;
            json params = playing_params(*r.snapshot, r.passage.audible, at.song_tick);
            if (current_->edited) params["notes"] = json::array();
            out_.send(notification("zirvon/playing", std::move(params)));
        }
        wake_.wait_for(lock, kReportPeriod);
    }
}

}  // namespace zirvon::lsp
