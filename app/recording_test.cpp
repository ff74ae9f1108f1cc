// Recordings of cassettes as sources, run in process on real WAV files made
// in temporary folders: what is listed, which images are written and under
// which names, and the refusals, which write nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sndfile.h>
#endif

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cassette/cassette_writer.h"
#include "tests/songs.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

const auto one_note = testing_support::one_note_image;

/// A file that is not music: a program of 300 bytes loaded at 0x1200.
std::string program() {
    std::string image = testing_support::image_bytes("BASIC", std::string(300, 'p'));
    image[0] = 0x01;
    image[20] = 0x00;
    image[21] = 0x12;
    return image;
}

/// The images one after another in the fast layout, a second of silence
/// before each and after the last, at 44.1 kHz.
std::vector<float> signal_of(const std::vector<std::string>& images, bool inverted = false) {
    cassette::CassetteFormat format;
    format.fast = true;
    format.inverted = inverted;
    std::vector<float> samples(44100, 0.0f);
    for (const std::string& image : images) {
        cassette::CassetteSignal signal(testing_support::as_bytes(image), format);
        std::vector<float> part(signal.frames());
        part.resize(signal.render(part));
        samples.insert(samples.end(), part.begin(), part.end());
        samples.insert(samples.end(), 44100, 0.0f);
    }
    return samples;
}

/// A 16-bit WAV file of `channels` (interleaved) at 44.1 kHz.
std::string wav_file(const std::vector<float>& samples, int channels = 1) {
    const auto le = [](std::uint32_t v, int n) {
        std::string b;
        for (int i = 0; i < n; ++i) b += static_cast<char>(v >> (8 * i) & 0xFF);
        return b;
    };
    const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
    const auto c = static_cast<std::uint32_t>(channels);
    std::string wav = "RIFF" + le(36 + bytes, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(c, 2) + le(44100, 4) +
                      le(88200 * c, 4) + le(2 * c, 2) + le(16, 2) + "data" + le(bytes, 4);
    for (float s : samples) wav += le(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s * 30000))), 2);
    return wav;
}

/// The name messages give tape.wav: where names ignore case (Windows) the
/// run reads it as tape.WAV, the name with its extension in upper case.
std::string shown(const std::string& name) {
    return testing_support::names_ignore_case() ? name.substr(0, name.rfind('.')) + ".WAV" : name;
}

TEST(Recording, ListsEveryFileAndWritesTheMusicImages) {
    const std::string tape = shown("tape.wav");
    struct Case {
        std::vector<std::string> images;
        std::vector<std::string> args;
        int status;
        /// Files written, with their bytes.
        std::vector<std::pair<std::string, std::string>> written;
        /// Lines the standard error holds.
        std::vector<std::string> said;
        bool inverted = false;
    };
    const std::vector<Case> cases{
        {{one_note("TUNE")}, {"tape.wav"}, 0, {{"tape.MZT", one_note("TUNE")}},
         {"zirvon: 'tape.wav': 1 file found\n",
          "  TUNE             attribute 0xC8, 36 bytes, load 0x315A; header ok (one copy), data ok (one copy)\n",
          "zirvon: 'tape.MZT' written\n"}},
        // A player program first, then two songs: numbered among the songs.
        {{program(), one_note("ONE"), one_note("TWO")}, {"tape.wav"}, 0,
         {{"tape-1.MZT", one_note("ONE")}, {"tape-2.MZT", one_note("TWO")}},
         {"zirvon: 'tape.wav': 3 files found\n", "attribute 0x01, 300 bytes, load 0x1200; ",
          "; not music, not written\n", "zirvon: 'tape-1.MZT' written\n", "zirvon: 'tape-2.MZT' written\n"}},
        // A tape name renames them; -o names them.
        {{one_note("ONE"), one_note("TWO")}, {"tape.wav", "NEW", "-o", "out.mzt"}, 0,
         {{"out-1.mzt", one_note("NEW")}, {"out-2.mzt", one_note("NEW")}}, {}},
        // /file=N chooses the file an action works on.
        {{program(), one_note("ONE"), one_note("TWO")}, {"tape.wav", "/file=3", "/mml"}, 0,
         {{"tape.MML", ""}}, {"'tape.MML' written; 'zirvon tape.MML TWO' builds the image again\n"}},
        {{program(), one_note("ONE")}, {"tape.wav", "/file=1", "/list"}, 1, {},
         {"zirvon: /file=1: file 1 of 'tape.wav' is not a music image (attribute 0xC8, load 0x315A)\n"}},
        {{one_note("ONE")}, {"tape.wav", "/file=2", "/list"}, 1, {}, {"zirvon: /file=2: 'tape.wav' holds 1 file\n"}},
        // Nothing but a program: listed, nothing written.
        {{program()}, {"tape.wav"}, 0, {}, {"zirvon: no music image on 'tape.wav': nothing written\n"}},
        {{program()}, {"tape.wav", "/svg"}, 1, {},
         {"zirvon: 'tape.wav' holds no music image (attribute 0xC8, load 0x315A); nothing to work on\n"}},
        // Never written over, nor given a twin the next run would read.
        {{one_note("ONE")}, {"tape.wav", "/wav"}, 2, {},
         {tape == "tape.wav" ? "zirvon: 'tape.WAV' would be read as the recording by the next 'zirvon tape.wav'; a "
                               "recording is never written over: name another file with -o\n"
                             : "zirvon: 'tape.WAV' is the source itself; a WAV file would replace it"}},
        {{one_note("ONE")}, {"tape.wav", "-o", "tape.wav"}, 2, {}, {"' is the source itself; the image would replace it"}},
        // A wave upside down is read, and said to be.
        {{one_note("TUNE")}, {"tape.wav"}, 0, {{"tape.MZT", one_note("TUNE")}},
         {"zirvon: 'tape.wav': 1 file found (the wave is inverted)\n"}, true},
        // Silence holds no tape signal; the reader's words follow the name.
        {{}, {"tape.wav"}, 1, {}, {"zirvon: ", "'tape.wav'"}},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        write_bytes(dir / "tape.wav", wav_file(signal_of(c.images, c.inverted)));
        const auto r = run_in_process(c.args, dir.path());
        const std::string what = testing::PrintToString(c.args) + " " + r.err;
        EXPECT_EQ(r.status, c.status) << what;
        for (std::string line : c.said) {
            if (const std::size_t at = line.find("'tape.wav'"); at != std::string::npos) line.replace(at + 1, 8, tape);
            EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << what;
        }
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            if (entry.path().filename() != "tape.wav") ++files;
        }
        EXPECT_EQ(files, c.written.size()) << what;
        for (const auto& [name, bytes] : c.written) {
            ASSERT_TRUE(fs::exists(dir / name)) << name << " " << what;
            if (!bytes.empty()) {
                EXPECT_EQ(read_bytes(dir / name), bytes) << name;
            }
        }
    }
}

// Stereo takes the channel that decodes; FLAC and Ogg are read through
// libsndfile where the build has it.
TEST(Recording, StereoFlacAndOggGiveTheImage) {
    const std::vector<float> mono = signal_of({one_note("TUNE")});
    // The signal on the right, hum on the left.
    std::vector<float> stereo;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        stereo.push_back(0.5f * static_cast<float>(std::sin(2 * 3.14159265 * 50 * double(i) / 44100)));
        stereo.push_back(mono[i]);
    }
    struct Case {
        std::string name;
        std::function<void(const fs::path&)> write;
    };
    std::vector<Case> cases{
        {"stereo.wav", [&](const fs::path& file) { write_bytes(file, wav_file(stereo, 2)); }},
    };
#ifndef _WIN32
    const auto with_sndfile = [&](int format) {
        return [&mono, format](const fs::path& file) {
            SF_INFO info{};
            info.samplerate = 44100;
            info.channels = 1;
            info.format = format;
            SNDFILE* out = sf_open(file.string().c_str(), SFM_WRITE, &info);
            ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
            sf_writef_float(out, mono.data(), static_cast<sf_count_t>(mono.size()));
            sf_close(out);
        };
    };
    cases.push_back({"tape.flac", with_sndfile(SF_FORMAT_FLAC | SF_FORMAT_PCM_16)});
    cases.push_back({"tape.ogg", with_sndfile(SF_FORMAT_OGG | SF_FORMAT_VORBIS)});
    cases.push_back({"float.wav", with_sndfile(SF_FORMAT_WAV | SF_FORMAT_FLOAT)});
#endif
    for (const Case& c : cases) {
        const TempDir dir;
        c.write(dir / c.name);
        const auto r = run_in_process({c.name, "-o", "out.mzt"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(read_bytes(dir / "out.mzt"), one_note("TUNE")) << c.name;
    }
}

TEST(Recording, WhatIsNotARecordingIsRefusedNamingTheFile) {
    const TempDir dir;
    write_bytes(dir / "text.wav", "these are words, not sound\n");
    const auto r = run_in_process({"text.wav"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("zirvon: cannot read the recording '" + shown("text.wav") + "': ")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "text.MZT"));
}

}  // namespace
}  // namespace zirvon
