// /play through the built-in synthesizer on the real binary, heard by a JACK
// client of the test's own on a JACK server of its own: the notes' onsets
// against their ticks, the first sound after the start, and Ctrl+C; and
// /cassette /play, the tape signal sent sample for sample.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cassette/cassette_writer.h"
#include "mml/compiler.h"
#include "mml/source_text.h"
#include "outputs/analysis.h"
#include "play/player.h"
#include "tape/tape_image.h"
#include "tests/jack_test_support.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace std::chrono_literals;
using namespace testing_support::runs;

/// Records what zirvon's two output ports play, from the moment they appear
/// (it looks for them every millisecond), with the JACK frame of every
/// sample.
class Capture {
public:
    /// `clients`: a pattern of the client names whose ports are connected.
    explicit Capture(std::string clients = "^zirvon(-[0-9]+)?:") : clients_(std::move(clients)) {
        static int serial = 0;
        const std::string name = "zirvon-cap-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        client_ = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!client_) return;
        for (int c = 0; c < 2; ++c) {
            inputs_[c] = jack_port_register(client_, c == 0 ? "in_left" : "in_right",
                                            JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        samples_.resize(kCapacity);
        jack_set_process_callback(client_, &Capture::on_process, this);
        if (jack_activate(client_) != 0) close();
        else connector_ = std::thread([this] { connect_when_they_appear(); });
    }
    ~Capture() { close(); }

    bool ok() const { return client_ != nullptr; }
    /// The server's frame now: times are measured in the audio's own time,
    /// which is what a listener hears even when the server falls behind.
    std::uint64_t frame_now() const { return jack_frame_time(client_); }
    unsigned rate() const { return jack_get_sample_rate(client_); }
    /// True once no client named zirvon is left, with ports or without (one
    /// that looked up MIDI ports has none): JACK names a new client
    /// "zirvon-01" while "zirvon" is still taken, as it may be for a moment
    /// after a run has ended.
    bool none_left() const {
        const char** ports = jack_get_ports(client_, "^zirvon(-[0-9]+)?:", nullptr, 0);
        if (ports) jack_free(ports);
        char* uuid = jack_get_uuid_for_client_name(client_, "zirvon");
        if (uuid) jack_free(uuid);
        return ports == nullptr && uuid == nullptr;
    }

    /// Left plus right of every frame captured so far, and the JACK frame of
    /// the first; false when the server skipped frames meanwhile.
    bool mono(std::vector<double>& out, std::uint64_t& first_frame) const {
        const std::size_t n = count_.load(std::memory_order_acquire);
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i) out[i] = double(samples_[i].left) + samples_[i].right;
        first_frame = first_frame_;
        return !gap_.load();
    }

private:
    struct Sample {
        float left, right;
    };
    static constexpr std::size_t kCapacity = 48000 * 60;

    static int on_process(jack_nframes_t frames, void* self) {
        auto* c = static_cast<Capture*>(self);
        const jack_nframes_t frame = jack_last_frame_time(c->client_);
        std::size_t n = c->count_.load(std::memory_order_relaxed);
        if (n == 0) c->first_frame_ = frame;
        else if (frame != c->first_frame_ + n) c->gap_.store(true);
        const auto* left = static_cast<const float*>(jack_port_get_buffer(c->inputs_[0], frames));
        const auto* right = static_cast<const float*>(jack_port_get_buffer(c->inputs_[1], frames));
        for (jack_nframes_t i = 0; i < frames && n < kCapacity; ++i) c->samples_[n++] = {left[i], right[i]};
        c->count_.store(n, std::memory_order_release);
        return 0;
    }

    /// Connects the output ports of the clients that `clients_` names, once
    /// each.
    void connect_when_they_appear() {
        std::set<std::string> connected;
        while (!closing_.load()) {
            const char** ports =
                jack_get_ports(client_, clients_.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
            for (const char** port = ports; port && *port; ++port) {
                const std::string name = *port;
                const bool right = name.ends_with("right") || name.ends_with("1");
                // A port whose client is not active yet cannot be connected:
                // tried again at the next look.
                if (!connected.contains(name)) {
                    const int done = jack_connect(client_, *port, jack_port_name(inputs_[right ? 1 : 0]));
                    if (done == 0 || done == EEXIST) connected.insert(name);
                }
            }
            if (ports) jack_free(ports);
            std::this_thread::sleep_for(1ms);
        }
    }

    void close() {
        closing_.store(true);
        if (connector_.joinable()) connector_.join();
        if (client_) jack_client_close(client_);
        client_ = nullptr;
    }

    const std::string clients_;
    jack_client_t* client_ = nullptr;
    jack_port_t* inputs_[2] = {nullptr, nullptr};
    std::vector<Sample> samples_;
    std::atomic<std::size_t> count_ = 0;
    std::uint64_t first_frame_ = 0;
    std::atomic<bool> gap_ = false;
    std::atomic<bool> closing_ = false;
    std::thread connector_;
};

/// Frames where sound starts after at least 5 ms of exact silence.
std::vector<std::size_t> onsets(const std::vector<double>& s, unsigned rate) {
    std::vector<std::size_t> found;
    std::size_t quiet = rate;  // silence before the first counts as long
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == 0.0) {
            ++quiet;
            continue;
        }
        if (quiet >= rate / 200) found.push_back(i);
        quiet = 0;
    }
    return found;
}

std::vector<std::uint64_t> note_on_ticks(const std::string& mml) {
    const SourceAnalysis a = analyze_source(mml, "t.mml");
    EXPECT_TRUE(a.ok());
    std::vector<std::uint64_t> ticks;
    play::play_through(a.song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        if ((m.status & 0xF0) == 0x90) ticks.push_back(tick);
    });
    return ticks;
}

/// Waits (five seconds at the most) until a second of sound has been
/// captured since the first sample that is not silence.
void hear_a_second(Capture& capture, std::vector<double>& sound, std::uint64_t& first_frame) {
    for (int i = 0; i < 500; ++i) {
        capture.mono(sound, first_frame);
        const auto first = std::find_if(sound.begin(), sound.end(), [](double x) { return x != 0.0; });
        if (first != sound.end() && sound.end() - first > capture.rate()) return;
        std::this_thread::sleep_for(10ms);
    }
}

TEST(SynthPlay, NotesSoundOnTheirTicksToTheMillisecond) {
    ZIRVON_REQUIRE_JACK();
    // Track 2's notes, short and apart, so that each starts in silence; the
    // rest first gives the capture time to connect.
    const std::string mml = "2[R4 Q2 C8 D16 E8. F4 G16 A8 B16 >C4 <C%7 E%13 G%29 C1]\n";
    const std::vector<std::uint64_t> ticks = note_on_ticks(mml);
    TempDir dir;
    write_bytes(dir / "song.mml", mml);
    std::string report;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Capture capture;
        ASSERT_TRUE(capture.ok());
        const RunResult r = testing_support::run_zirvon({"song.mml", "/play"}, dir.path(), {"ZIRVON_MIDI_PORT=Synth"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        std::vector<double> sound;
        std::uint64_t first_frame = 0;
        const bool whole = capture.mono(sound, first_frame);
        const std::vector<std::size_t> heard = onsets(sound, capture.rate());
        ASSERT_EQ(heard.size(), ticks.size());
        // Tick n lands on frame round(n x rate / 50) from tick 0.
        std::ostringstream late;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const double expected = double(ticks[i] - ticks[0]) * capture.rate() / 50.0;
            const double error_ms = (double(heard[i] - heard[0]) - expected) * 1000.0 / capture.rate();
            if (std::abs(error_ms) > 1.0) late << "note " << i << " is " << error_ms << " ms off\n";
        }
        report = late.str();
        if (report.empty() || whole) break;  // a server that skipped frames may try again
    }
    EXPECT_EQ(report, "");
}

// Where no MIDI port is to be had, the synthesizer stands in for the
// default one and says so; its JACK client has its own name though the MIDI
// ports were looked for on JACK first.
TEST(SynthPlay, CtrlCFadesToSilenceAndExits130) {
    ZIRVON_REQUIRE_JACK();
    TempDir dir;
    write_bytes(dir / "song.mml", "1[C1 D1 E1 F1]\n2[O3 C1 D1 E1 F1]\n");
    Capture capture("^zirvon:");  // and not "zirvon-01", though its name was free
    ASSERT_TRUE(capture.ok());
    for (int i = 0; i < 500 && !capture.none_left(); ++i) std::this_thread::sleep_for(10ms);
    const bool no_midi = access("/dev/snd/seq", F_OK) != 0;
    std::vector<std::string> args{"song.mml", "/play"};
    if (!no_midi) args.push_back("/port=SYNTH");
    const int pid = testing_support::start_zirvon(args, dir.path(), (dir / "err").string());
    std::vector<double> sound;
    std::uint64_t first_frame = 0;
    hear_a_second(capture, sound, first_frame);
    const std::uint64_t signalled = capture.frame_now();
    kill(pid, SIGINT);
    EXPECT_EQ(testing_support::wait_zirvon(pid), 130);
    EXPECT_EQ(testing_support::read_bytes(dir / "err"),
              (no_midi ? "zirvon: no MIDI output port; playing with the built-in synthesizer on JACK server \"" +
                             std::string(std::getenv("JACK_DEFAULT_SERVER")) + "\"\n"
                       : "") +
                  "zirvon: preview interrupted; every file is left as it was\n");
    std::this_thread::sleep_for(100ms);
    capture.mono(sound, first_frame);

    // The last sound, and silence after it to the end of the capture.
    const auto last = std::find_if(sound.rbegin(), sound.rend(), [](double x) { return x != 0.0; });
    ASSERT_NE(last, sound.rend());
    const std::size_t end = static_cast<std::size_t>(sound.rend() - last);
    const double silent_after_ms =
        (double(first_frame + end) - double(signalled)) * 1000.0 / capture.rate();
    EXPECT_LT(silent_after_ms, 200.0);
    // A fade, not a cut: sound in the 2 ms before the end, falling.
    const std::size_t ms = capture.rate() / 1000;
    const auto peak = [&](std::size_t from, std::size_t to) {
        double p = 0.0;
        for (std::size_t i = from; i < to; ++i) p = std::max(p, std::abs(sound[i]));
        return p;
    };
    EXPECT_GT(peak(end - 2 * ms, end - ms), 0.0);
    EXPECT_LT(peak(end - ms, end), 0.6 * peak(end - 100 * ms, end - 10 * ms));
}

// /cassette /play sends the signal the file would hold, at the device's
// rate, on both channels, whatever the layout and polarity; Ctrl+C ends it
// at once and the run says so.
TEST(SynthPlay, CassettePlaySendsTheSignalSampleForSample) {
    ZIRVON_REQUIRE_JACK();
    const std::string mml = "1[C D E]\n";
    TempDir dir;
    write_bytes(dir / "song.mml", mml);
    const SourceAnalysis a = analyze_source(mml, "song.mml");
    const std::vector<std::uint8_t> image = build_tape_image(a.song, "TUNE");
    for (const char* choices : {"fast", "fast,inverted"}) {
        Capture capture;
        ASSERT_TRUE(capture.ok());
        const RunResult r =
            testing_support::run_zirvon({"song.mml", "TUNE", std::string("/cassette=") + choices, "/play"}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.err.starts_with("zirvon: 'song.mml' sent: 0:0")) << r.err;
        EXPECT_TRUE(r.err.ends_with("; the machine shows LOADING TUNE\n")) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "song.TAPE.WAV"));
        cassette::CassetteFormat format;
        format.fast = true;
        format.inverted = std::string(choices).find("inverted") != std::string::npos;
        format.sample_rate = static_cast<int>(capture.rate());
        cassette::CassetteSignal signal(image, format);
        std::vector<float> expected(signal.frames());
        expected.resize(signal.render(expected));
        std::vector<double> sound;
        std::uint64_t first_frame = 0;
        capture.mono(sound, first_frame);
        const auto first = std::find_if(sound.begin(), sound.end(), [](double x) { return x != 0.0; });
        ASSERT_GE(sound.end() - first, static_cast<std::ptrdiff_t>(expected.size())) << choices;
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) wrong += std::abs(first[i] - 2.0 * expected[i]) > 1e-6;
        EXPECT_EQ(wrong, 0u) << choices;
        // Silence after it.
        EXPECT_TRUE(std::all_of(first + static_cast<std::ptrdiff_t>(expected.size()), sound.end(),
                                [](double x) { return x == 0.0; }));
    }

    Capture capture;
    ASSERT_TRUE(capture.ok());
    for (int i = 0; i < 500 && !capture.none_left(); ++i) std::this_thread::sleep_for(10ms);
    const int pid = testing_support::start_zirvon({"song.mml", "/cassette", "/play"}, dir.path(), (dir / "err").string());
    std::vector<double> sound;
    std::uint64_t first_frame = 0;
    hear_a_second(capture, sound, first_frame);
    const std::uint64_t signalled = capture.frame_now();
    kill(pid, SIGINT);
    EXPECT_EQ(testing_support::wait_zirvon(pid), 130);
    EXPECT_EQ(testing_support::read_bytes(dir / "err"), "zirvon: sending interrupted; every file is left as it was\n");
    capture.mono(sound, first_frame);
    const auto last = std::find_if(sound.rbegin(), sound.rend(), [](double x) { return x != 0.0; });
    ASSERT_NE(last, sound.rend());
    const double silent_after_ms =
        (double(first_frame + static_cast<std::size_t>(sound.rend() - last)) - double(signalled)) * 1000.0 /
        capture.rate();
    EXPECT_LT(silent_after_ms, 200.0);
}

}  // namespace
}  // namespace zirvon
