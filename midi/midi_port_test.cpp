#include "midi/midi_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "midi/jack_test_support.h"

namespace zirvon::midi {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;

std::vector<Bytes> bytes_of(const std::vector<testing::Received>& received) {
    std::vector<Bytes> out;
    for (const auto& r : received) out.push_back(r.bytes);
    return out;
}

TEST(MidiPort, SendFailsWhenNothingIsOpen) {
    MidiPort port;
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.send(0x90, 60, 127));
    EXPECT_FALSE(port.close());
}

TEST(MidiPort, ListsAJackInputAmongItsPorts) {
    ZIRVON_REQUIRE_JACK();
    testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(MidiPort::list_ports(names, error)) << error;
    EXPECT_NE(std::find(names.begin(), names.end(), recorder.port_name()), names.end());
}

TEST(MidiPort, DeliversEveryMessageInOrderBeforeClosing) {
    ZIRVON_REQUIRE_JACK();
    testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    MidiPort port;
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
    for (unsigned char channel = 0; channel < 16; ++channel) {
        expected.push_back({static_cast<unsigned char>(0xB0 + channel), 121, 0});
        expected.push_back({static_cast<unsigned char>(0xB0 + channel), 123, 0});
    }
    for (unsigned char channel = 0; channel < 16; ++channel) {
        expected.push_back({static_cast<unsigned char>(0xB0 + channel), 123, 0});
    }
    // Everything was handed over before close() returned; the recorder may
    // take a JACK cycle to see the last of it.
    recorder.wait_for(expected.size(), 1s);
    EXPECT_EQ(bytes_of(recorder.received()), expected);
}

TEST(MidiPort, OpensByNumberAsListed) {
    ZIRVON_REQUIRE_JACK();
    testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(MidiPort::list_ports(names, error)) << error;
    const auto at = std::find(names.begin(), names.end(), recorder.port_name());
    ASSERT_NE(at, names.end());
    MidiPort port;
    ASSERT_TRUE(port.open(std::to_string(at - names.begin()), error)) << error;
    EXPECT_EQ(port.name(), recorder.port_name());
}

TEST(MidiPort, UnknownPortIsAnErrorInOurWords) {
    ZIRVON_REQUIRE_JACK();
    MidiPort port;
    std::string error;
    EXPECT_FALSE(port.open("no-such-synth", error));
    EXPECT_EQ(error, "no MIDI output port has \"no-such-synth\" in its name (/ports lists them)");
    EXPECT_FALSE(port.is_open());
}

/// Points fd 2 at a file for its lifetime and hands back what was written.
class StderrCapture {
public:
    StderrCapture() : path_(::testing::TempDir() + "zirvon_stderr_" + std::to_string(getpid())) {
        fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    std::string finish() {
        fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        std::remove(path_.c_str());
        return text.str();
    }

private:
    std::string path_;
    int saved_ = -1;
};

TEST(MidiPort, NoMidiServiceMeansNoPortsAndNoChatter) {
    // No ALSA sequencer on the test machines, and a JACK server name that
    // nothing answers to: every service fails, quietly.
    if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this host has an ALSA sequencer";
    const char* old_server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = old_server ? old_server : "";
    setenv("JACK_DEFAULT_SERVER", "zirvon-nobody-here", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);

    StderrCapture capture;
    std::vector<std::string> names;
    std::string error;
    const bool listed = MidiPort::list_ports(names, error);
    MidiPort port;
    const bool opened = port.open("", error);
    const std::string chatter = capture.finish();

    if (old_server) setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    else unsetenv("JACK_DEFAULT_SERVER");

    EXPECT_TRUE(listed);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(opened);
    EXPECT_NE(error.find("start a software synthesizer such as FluidSynth or TiMidity"),
              std::string::npos)
        << error;
    EXPECT_EQ(chatter, "");
}

}  // namespace
}  // namespace zirvon::midi
