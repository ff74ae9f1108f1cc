// The port against a real JACK MIDI input, and against a port of the ALSA
// sequencer where the machine has one. Choosing ports, listing them and the
// messages for a host without any are checked on the real binary
// (app/play_test.cpp).
#include "midi/midi_port.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/jack_test_support.h"

namespace zirvon::midi {
namespace {

using namespace std::chrono_literals;
using namespace testing;

TEST(MidiPort, DeliversEveryMessageInOrderBeforeClosing) {
    ZIRVON_REQUIRE_JACK();
    MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    MidiPort port;
    // Nothing open yet: nothing is sent and nothing closes.
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.send(0x90, 60, 127));
    EXPECT_FALSE(port.close());
    std::string error;
    ASSERT_TRUE(port.open(recorder.port_name(), error)) << error;
    EXPECT_EQ(port.name(), recorder.port_name());
    EXPECT_TRUE(port.send(0x91, 60, 127));
    EXPECT_TRUE(port.send(0x81, 60, 127));
    port.reset_channels();
    port.all_notes_off();
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.is_open());

    std::vector<Bytes> expected = {{0x91, 60, 127}, {0x81, 60, 127}};
    for (const auto& part : {reset_messages(), all_notes_off_messages()})
        expected.insert(expected.end(), part.begin(), part.end());
    // Everything was handed over before close() returned; the recorder may
    // take a JACK cycle to see the last of it.
    recorder.wait_for(expected.size(), 1s);
    EXPECT_EQ(bytes_of(recorder.received()), expected) << describe(recorder.received());
}

/// A port of the ALSA sequencer that others may send to, in a client of its
/// own (zirvon-test-<pid>).
class AlsaInput {
public:
    AlsaInput() {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return;
        }
        snd_seq_set_client_name(seq_, client_name().c_str());
        port_ = snd_seq_create_simple_port(
            seq_, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    }
    ~AlsaInput() { quit(); }
    AlsaInput(const AlsaInput&) = delete;
    AlsaInput& operator=(const AlsaInput&) = delete;

    bool ok() const { return seq_ != nullptr && port_ >= 0; }
    static std::string client_name() { return "zirvon-test-" + std::to_string(getpid()); }
    void remove_port() { snd_seq_delete_simple_port(seq_, port_); }
    void quit() {
        if (seq_ != nullptr) snd_seq_close(seq_);
        seq_ = nullptr;
    }

private:
    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
};

TEST(MidiPort, IsLostOnceTheAlsaPortOrItsClientGoesAndSaysNothingOnStderr) {
    for (const bool whole_client : {false, true}) {
        const std::string what = whole_client ? "client quits" : "port removed";
        AlsaInput input;
        // Skipped, not failed, even under CI=true: neither this machine nor
        // CI's has an ALSA sequencer (/dev/snd/seq), as containers seldom do.
        if (!input.ok())
            GTEST_SKIP() << "needs an ALSA sequencer (/dev/snd/seq), which this machine lacks";
        MidiPort port;
        std::string error;
        ASSERT_TRUE(port.open(AlsaInput::client_name() + ":in", error)) << error;
        EXPECT_TRUE(port.send(0x90, 60, 127)) << what;
        EXPECT_FALSE(port.lost()) << what;

        ::testing::internal::CaptureStderr();
        if (whole_client) input.quit();
        else input.remove_port();
        // The sequencer has told every client by the time the call returns.
        EXPECT_TRUE(port.lost()) << what;
        EXPECT_FALSE(port.send(0x80, 60, 0)) << what;
        port.all_notes_off();
        EXPECT_TRUE(port.close()) << what;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << what;
    }
}

}  // namespace
}  // namespace zirvon::midi
