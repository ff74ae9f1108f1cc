// Entry from a MIDI keyboard: zirvon.entry starts it at a place of a
// document, each key (or keys pressed together) then becomes the MML that
// step_entry writes, inserted through the editor's workspace/applyEdit, and
// the place moves on. Keys are heard on the preview's output while held.
// Pure like the server: the keyboard and the clock come from the loop.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lsp/document.h"
#include "lsp/protocol.h"
#include "outputs/step_entry.h"

namespace zirvon::lsp {

class Outbox;
class Playback;

/// The MIDI input that keys come from. Its messages reach the server
/// through the loop (Server::key), never from the input's own thread.
class Keyboard {
public:
    virtual ~Keyboard() = default;
    /// Opens the input port that `choice` names ("" for the first one that
    /// is a keyboard's). False, with a message, when it cannot.
    virtual bool open(const std::string& choice, std::string& error) = 0;
    virtual void close() = 0;
    /// The open port's name.
    virtual std::string name() const = 0;
};

/// Keys whose note-ons come within this many milliseconds of the first are
/// pressed together.
inline constexpr std::uint64_t kChordWindowMs = 50;
/// The key that enters a rest unless a setting names another: A0, the
/// lowest key of a full keyboard, below what MML writes.
inline constexpr int kDefaultRestKey = 21;

class KeyEntry {
public:
    KeyEntry(Outbox& out, Playback& playback, Keyboard* keyboard, std::map<std::string, Document>& documents)
        : out_(out), playback_(playback), keyboard_(keyboard), documents_(documents) {}

    /// zirvon.entry's argument: {action: start|stop|rest|length, uri,
    /// position, length, port}. Gives the state, or null with `error` set.
    json command(const json& argument, const std::optional<std::string>& output_port, std::string& error);
    /// `entryPort` and `restKey` of the settings.
    void configure(const json& settings);

    /// One MIDI message from the keyboard, at `now_ms` of a steady clock.
    void key(const std::uint8_t* bytes, std::size_t size, std::uint64_t now_ms);
    /// When key() or a response is next due to be handed the clock again.
    std::optional<std::uint64_t> due() const;
    /// The clock has reached `now_ms`: keys pressed together are entered.
    void tick(std::uint64_t now_ms);
    /// One change of a didChange, in bytes of the text before it (`whole`:
    /// the whole text replaced): the place follows.
    void moved(const std::string& uri, std::size_t from, std::size_t to, std::size_t length, bool whole);
    /// The changes of a didChange of version `version` are all made: an edit
    /// of ours they carry puts the place after it, and what waits is entered.
    void changed(const std::string& uri, std::int64_t version);
    /// A response to a request of the server; true when it was entry's.
    bool response(const json& message);
    /// The document went away, or the server shuts down.
    void closed(const std::string& uri);
    void stop();

private:
    /// What is to be entered: keys pressed together, or a rest.
    struct Pending {
        std::vector<int> keys;
        int tries = 0;  ///< times the editor refused it
    };

    json state(const std::string& message = {}) const;
    void notify(const std::string& message = {});
    /// Enters what waits, unless an edit of ours is still on its way.
    void enter_next();
    void say(int type, const std::string& message);
    /// The editor answered that it made our edit and a newer text came: the
    /// place goes after the edit if the text holds it, else it is entered
    /// again.
    void decide();
    /// Our edit is not in the text: entered again on the text as it is, a
    /// few times at most, then said to be lost for `why`.
    void retry(const std::string& why);

    Outbox& out_;
    Playback& playback_;
    Keyboard* keyboard_;
    std::map<std::string, Document>& documents_;

    std::string port_choice_;
    int rest_key_ = kDefaultRestKey;

    bool active_ = false;
    std::string uri_;
    std::size_t place_ = 0;  ///< byte offset in the document's text
    std::optional<EntryLength> length_;
    int channel_ = 1;
    std::map<int, int> held_;  ///< key -> the channel its note-on went to
    std::vector<int> chord_;
    std::uint64_t chord_due_ = 0;
    std::deque<Pending> waiting_;
    /// Our edit, sent and not yet both answered and seen in a didChange:
    /// where, what, and the version of the text it was made for.
    struct InFlight {
        std::size_t place;  ///< where it goes, following the changes since
        std::string text;
        std::int64_t version;
        Pending what;
        bool applied = false;  ///< the editor says it took it
        bool changed = false;  ///< a didChange of a newer text came
        bool held = false;     ///< a newer text holds `text` at `place`
    };
    std::optional<InFlight> in_flight_;
    /// The editor refused an edit: the next waits for the text it has now.
    bool await_change_ = false;
    std::string request_id_;
    int next_request_ = 1;
};

}  // namespace zirvon::lsp
