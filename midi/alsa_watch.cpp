#include "midi/alsa_watch.h"

#include <charconv>

#include "midi/alsa_library.h"

namespace zirvon::midi {
namespace {

bool parse_int(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::optional<AlsaAddress> alsa_address(std::string_view port_name) {
    const std::size_t space = port_name.rfind(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const std::string_view address = port_name.substr(space + 1);
    const std::size_t colon = address.find(':');
    AlsaAddress result;
    if (colon == std::string_view::npos || !parse_int(address.substr(0, colon), result.client) ||
        !parse_int(address.substr(colon + 1), result.port))
        return std::nullopt;
    result.names = port_name.substr(0, space);
    return result;
}

struct AlsaWatch::Sequencer {
    ~Sequencer() {
        if (seq != nullptr) lib.snd_seq_close(seq);
    }

    /// "client:port" as the sequencer names the watched address now; empty
    /// when nothing is there.
    std::string names_now() const {
        snd_seq_client_info_t* ci = nullptr;
        snd_seq_port_info_t* pi = nullptr;
        std::string now;
        if (lib.snd_seq_client_info_malloc(&ci) == 0 && lib.snd_seq_port_info_malloc(&pi) == 0 &&
            lib.snd_seq_get_any_client_info(seq, client, ci) == 0 &&
            lib.snd_seq_get_any_port_info(seq, client, port, pi) == 0) {
            now = std::string(lib.snd_seq_client_info_get_name(ci)) + ":" +
                  lib.snd_seq_port_info_get_name(pi);
        }
        if (pi != nullptr) lib.snd_seq_port_info_free(pi);
        if (ci != nullptr) lib.snd_seq_client_info_free(ci);
        return now;
    }

    AlsaLibrary lib;
    snd_seq_t* seq = nullptr;
    int client = 0;
    int port = 0;
    std::string names;
};

AlsaWatch::AlsaWatch() = default;
AlsaWatch::~AlsaWatch() = default;

bool AlsaWatch::start(const std::string& port) {
    const std::optional<AlsaAddress> address = alsa_address(port);
    if (!address) return false;
    auto s = std::make_unique<Sequencer>();
    s->client = address->client;
    s->port = address->port;
    s->names = address->names;
    if (!s->lib.load()) return false;
    if (s->lib.snd_seq_open(&s->seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
        s->seq = nullptr;
        return false;
    }
    s->lib.snd_seq_set_client_name(s->seq, "zirvon-watch");
    // The system's announcements of clients and ports that come and go: a
    // client that quits and another that takes its number and names at once
    // would pass for the port still there.
    const int own = s->lib.snd_seq_create_simple_port(
        s->seq, "watch", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
        SND_SEQ_PORT_TYPE_APPLICATION);
    if (own < 0 || s->lib.snd_seq_connect_from(s->seq, own, SND_SEQ_CLIENT_SYSTEM,
                                               SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0)
        return false;
    // Another name there means RtMidi names ports in a way not known here:
    // better to play on unwatched than to stop a preview that plays.
    if (s->names_now() != s->names) return false;
    seq_ = std::move(s);
    return true;
}

bool AlsaWatch::gone() const {
    if (gone_.load(std::memory_order_acquire)) return true;
    if (!seq_) return false;
    const std::lock_guard lock(mutex_);
    if (!check()) gone_.store(true, std::memory_order_release);
    return gone_.load(std::memory_order_acquire);
}

bool AlsaWatch::check() const {
    Sequencer& s = *seq_;
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int read = s.lib.snd_seq_event_input(s.seq, &event);
        if (read == -EAGAIN) break;
        // -ENOSPC: announcements were lost while nobody read; what is there
        // now is asked below.
        if (read < 0 && read != -ENOSPC) return false;
        if (read < 0 || event == nullptr) continue;
        const snd_seq_addr_t& addr = event->data.addr;
        if (event->type == SND_SEQ_EVENT_CLIENT_EXIT && addr.client == s.client) return false;
        if (event->type == SND_SEQ_EVENT_PORT_EXIT && addr.client == s.client &&
            addr.port == s.port)
            return false;
    }
    return s.names_now() == s.names;
}

}  // namespace zirvon::midi
