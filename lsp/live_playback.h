// The server's player: the output /play would use, opened on the first
// zirvon.play and kept, a live session on it, and a thread that reports
// where it is every 50 ms (zirvon/playing) and when it ends (zirvon/stopped).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "live/live_session.h"
#include "lsp/server.h"
#include "play/live_output.h"

namespace zirvon::lsp {

class LivePlayback : public Playback {
public:
    explicit LivePlayback(Outbox& out);
    /// Stops the sound and the reporting thread.
    ~LivePlayback() override;
    LivePlayback(const LivePlayback&) = delete;
    LivePlayback& operator=(const LivePlayback&) = delete;

    bool play(const PlayRequest& request, std::string& error) override;
    void stop() override;
    /// From then on zirvon/playing names no notes: their places are those
    /// of the text before the edit.
    void edited(const std::string& uri) override;
    bool open_output(const std::optional<std::string>& port, std::string& error) override;
    void send(const play::MidiMessage& message) override;

private:
    struct Current {
        PlayRequest request;
        std::uint64_t serial = 0;
        bool edited = false;  ///< the text has changed since it started
    };

    /// Opens the output and starts its clock, unless it runs.
    bool open(const std::optional<std::string>& port, std::string& error);
    void report();
    /// Tells that the current passage stopped, and forgets it.
    void stopped(const char* reason, const std::string& message = {});
    void close();

    Outbox& out_;
    std::mutex mutex_;  ///< guards everything below
    std::condition_variable wake_;
    std::unique_ptr<play::LiveOutput> output_;
    std::unique_ptr<live::LiveSession> session_;
    std::optional<Current> current_;
    bool quit_ = false;
    std::thread reporter_;
};

}  // namespace zirvon::lsp
