#include "audio/jack_output.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zirvon::audio {
namespace {

constexpr const char* kClientName = "zirvon";
constexpr const char* kPortNames[2] = {"out_left", "out_right"};
/// Where a jackd server has its first two playback channels.
constexpr const char* kSystemPlayback[2] = {"system:playback_1", "system:playback_2"};

}  // namespace

bool JackOutput::open(std::string&) {
    loaded_ = lib_.load();
    if (!loaded_) return false;
    // The client is called "zirvon", which is how a user finds it. The
    // server lets go of a name a moment after its client closes: where the
    // MIDI side's client, which looked for ports, has only just closed, a
    // client opened at once would be renamed ("zirvon-01"). So then the name
    // is asked for exactly, for a little while, before any name will do;
    // where another program holds it, any name will do at once.
    const auto give_up =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_for_name_ ? 500 : 0);
    for (;;) {
        jack_status_t status{};
        client_ = lib_.jack_client_open(kClientName, static_cast<jack_options_t>(JackNoStartServer | JackUseExactName),
                                        &status);
        if (client_ != nullptr || !(status & JackNameNotUnique)) break;
        if (std::chrono::steady_clock::now() >= give_up) {
            client_ = lib_.jack_client_open(kClientName, JackNoStartServer, &status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return client_ != nullptr;
}

unsigned JackOutput::rate() const {
    return client_ ? lib_.jack_get_sample_rate(client_) : 0;
}

std::string JackOutput::name() const {
    const std::string server = JackLibrary::server_name();
    return server == "default" ? "JACK" : "JACK server \"" + server + '"';
}

std::string JackOutput::tried() const {
    if (!loaded_) return "JACK (" + lib_.load_failure() + ")";
    return "JACK server \"" + JackLibrary::server_name() + '"';
}

bool JackOutput::start(SoundRenderer& renderer, std::string& error) {
    renderer_ = &renderer;
    for (int c = 0; c < 2; ++c) {
        ports_[c] = lib_.jack_port_register(client_, kPortNames[c], JACK_DEFAULT_AUDIO_TYPE,
                                            JackPortIsOutput, 0);
        if (!ports_[c]) {
            error = "cannot make the JACK client's output ports";
            return false;
        }
    }
    lib_.jack_set_process_callback(client_, &JackOutput::on_process, this);
    lib_.jack_on_shutdown(client_, &JackOutput::on_shutdown, this);
    if (lib_.jack_activate(client_) != 0) {
        error = "the JACK server does not start the client";
        return false;
    }
    connect_to_playback();
    return true;
}

void JackOutput::connect_to_playback() {
    // The usual names first: asking the server for its physical ports reads
    // the whole port table, which is slow on a big one.
    bool connected = true;
    for (int c = 0; c < 2; ++c) {
        connected =
            lib_.jack_connect(client_, lib_.jack_port_name(ports_[c]), kSystemPlayback[c]) == 0 &&
            connected;
    }
    if (connected) return;
    const char** playback = lib_.jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                                JackPortIsPhysical | JackPortIsInput);
    for (int c = 0; playback && c < 2 && playback[c]; ++c) {
        lib_.jack_connect(client_, lib_.jack_port_name(ports_[c]), playback[c]);
    }
    if (playback) lib_.jack_free(playback);
}

void JackOutput::close() {
    if (!client_) return;
    if (!server_gone_.load()) lib_.jack_deactivate(client_);
    lib_.jack_client_close(client_);
    client_ = nullptr;
    ports_[0] = ports_[1] = nullptr;
}

std::chrono::milliseconds JackOutput::latency() const {
    if (!client_ || !ports_[0] || server_gone_.load()) return {};
    jack_latency_range_t range{};
    lib_.jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &range);
    const jack_nframes_t frames = range.max + lib_.jack_get_buffer_size(client_);
    return std::chrono::milliseconds(1 +
                                     std::min<jack_nframes_t>(frames, rate() / 10) * 1000 / rate());
}

int JackOutput::on_process(jack_nframes_t frames, void* self) {
    auto* out = static_cast<JackOutput*>(self);
    auto* left = static_cast<float*>(out->lib_.jack_port_get_buffer(out->ports_[0], frames));
    auto* right = static_cast<float*>(out->lib_.jack_port_get_buffer(out->ports_[1], frames));
    out->renderer_->render(left, right, frames);
    return 0;
}

void JackOutput::on_shutdown(void* self) {
    static_cast<JackOutput*>(self)->server_gone_.store(true);
}

}  // namespace zirvon::audio
