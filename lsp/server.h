// The language server's requests and notifications: one message in, the
// responses and notifications it gives out through an Outbox. It reads and
// writes nothing itself, so the tests and the fuzzer drive it in process;
// the loop around it (stdio_loop) and the player (live_playback) are the
// shell.
#pragma once

#include <map>
#include <set>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "lsp/document.h"
#include "lsp/key_entry.h"
#include "lsp/protocol.h"
#include "play/passage.h"
#include "play/player.h"

namespace zirvon::lsp {

/// Where the server's messages go. The player's thread sends through it
/// too, so a real one takes a lock.
class Outbox {
public:
    virtual ~Outbox() = default;
    virtual void send(const json& message) = 0;
};

/// What zirvon.play hands to the player.
struct PlayRequest {
    std::shared_ptr<const Snapshot> snapshot;  ///< the version that plays, kept while it does
    play::Passage passage;
    bool loop = false;
    /// The port choice of initializationOptions, as /port= takes it.
    std::optional<std::string> port;
};

/// Plays passages and reports where it is (zirvon/playing, zirvon/stopped).
class Playback {
public:
    virtual ~Playback() = default;
    /// Stops what plays and plays `request` from the next tick. False, with
    /// a message, when there is nothing to play on.
    virtual bool play(const PlayRequest& request, std::string& error) = 0;
    /// Silences what plays within a tick.
    virtual void stop() = 0;
    /// The text of `uri` has changed: what plays keeps playing, but its
    /// notes no longer stand where they did in the text.
    virtual void edited(const std::string& uri) = 0;
    /// Opens the output zirvon.play would, unless it is open, so that keys
    /// are heard on it. False, with a message, when there is none.
    virtual bool open_output(const std::optional<std::string>& port, std::string& error) {
        (void)port;
        error = "this server has no output";
        return false;
    }
    /// Sends one message on the output's next tick, beside what plays;
    /// nothing when the output is not open.
    virtual void send(const play::MidiMessage& message) { (void)message; }
};

class Server {
public:
    /// Without a keyboard, zirvon.entry is refused.
    Server(Outbox& out, Playback& playback, Keyboard* keyboard = nullptr)
        : out_(out), playback_(playback), entry_(out, playback, keyboard, documents_) {}

    /// Handles one payload as the framing delivered it.
    void handle(std::string_view payload);
    /// Called when no message waits: publishes the diagnostics of the
    /// documents changed since, so a burst of edits is compiled once.
    void idle();
    /// One MIDI message of the keyboard, at `now_ms` of a steady clock.
    void key(const std::uint8_t* bytes, std::size_t size, std::uint64_t now_ms) { entry_.key(bytes, size, now_ms); }
    /// When tick() is next due, if ever.
    std::optional<std::uint64_t> due() const { return entry_.due(); }
    void tick(std::uint64_t now_ms) { entry_.tick(now_ms); }
    /// True once `exit` has come; exit_status() is then the process's status.
    bool exited() const { return exited_; }
    /// 0 after shutdown then exit, 1 otherwise (as LSP asks).
    int exit_status() const { return shutdown_ ? 0 : 1; }

private:
    void dispatch(const json& message);
    void notification(const std::string& method, const json& params);
    json request(const std::string& method, const json& params);
    json initialize(const json& params);
    json execute_command(const json& params);
    void respond(const json& id, json result);
    void respond_error(const json& id, int code, const std::string& message);
    /// The open document a request names; throws a RequestError when none.
    Document& document(const json& params);
    /// Notes whether the file of a document just opened or saved is not
    /// UTF-8 on disk, and says so once.
    void check_disk(const std::string& uri, const std::string& text);
    void configure(const json& settings);

    Outbox& out_;
    Playback& playback_;
    std::map<std::string, Document> documents_;
    KeyEntry entry_;
    std::set<std::string> changed_;  ///< documents whose diagnostics are due
    std::optional<std::string> port_;
    /// The bytes on disk of documents that are not UTF-8 there, while the
    /// editor's text is unchanged since: their diagnostics are of these.
    std::map<std::string, std::string> disk_;
    std::set<std::string> told_not_utf8_;
    bool inlay_hints_ = true;
    bool can_refresh_hints_ = false;  ///< the client takes workspace/inlayHint/refresh
    int next_request_ = 1;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool exited_ = false;
};

}  // namespace zirvon::lsp
