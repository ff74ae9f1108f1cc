// Faults a user can meet: a full disk, a run killed half-way, sources that
// change or are not files. None of them may cost an existing image.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

/// A song whose image is about 60 KB: two full tracks.
std::string big_song() {
    std::string mml;
    for (int k = 1; k <= 2; ++k) mml += std::to_string(k) + "[" + std::string(9'998, 'C') + "]\r\n";
    return mml;
}

std::size_t entries_in(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

/// A small tmpfs mounted for one test; needs root.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& at) : at_(at) {
        fs::create_directory(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=128k") == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount(at_.c_str());
    }
    bool mounted() const { return mounted_; }

    /// Fills the disk, then frees `room` bytes of it again.
    void fill_leaving(std::size_t room) const {
        const fs::path filler = at_ / "filler";
        {
            std::ofstream out(filler, std::ios::binary);
            const std::string block(4096, 'x');
            while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) {
            }
        }
        const auto size = fs::file_size(filler);
        fs::resize_file(filler, size > room ? size - room : 0);
    }

private:
    fs::path at_;
    bool mounted_ = false;
};

TEST(Faults, FullDiskKeepsThePreviousFile) {
    struct Case {
        std::vector<std::string> args;
        std::string file;  // the one that does not fit
    };
    const std::vector<Case> cases{
        {{"disk/song.mml"}, "song.MZT"},
        {{"disk/song.mml", "/wav"}, "song.WAV"},  // a WAV far bigger than the disk
    };
    for (const Case& c : cases) {
        TempDir dir;
        const SmallDisk disk(dir / "disk");
        if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
        write_bytes(dir / "disk" / "song.MML", big_song());
        write_bytes(dir / "disk" / c.file, "previous file");
        disk.fill_leaving(16 * 1024);

        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("zirvon: cannot write 'disk/" + c.file + "': No space left on device; "),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(read_bytes(dir / "disk" / c.file), "previous file");
        EXPECT_EQ(entries_in(dir / "disk"), 3u) << "a temporary file was left behind";
    }
}

TEST(Faults, KilledRunLeavesTheOldImageOrTheNewOneNeverAPart) {
    TempDir dir;
    write_bytes(dir / "song.MML", big_song());
    ASSERT_EQ(run_zirvon({"song.mml", "NEW"}, dir.path()).status, 0);
    const std::string fresh = read_bytes(dir / "song.MZT");
    const std::string old = "previous image";

    std::mt19937 random(42);
    int killed = 0;
    for (int round = 0; round < 60; ++round) {
        write_bytes(dir / "song.MZT", old);
        const int pid = testing_support::start_zirvon({"song.mml", "NEW"}, dir.path());
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 8000));
        ::kill(pid, SIGKILL);
        if (testing_support::wait_zirvon(pid) == 128 + SIGKILL) ++killed;
        const std::string now = read_bytes(dir / "song.MZT");
        ASSERT_TRUE(now == old || now == fresh) << "round " << round << ": " << now.size() << " bytes";
        // A run killed between creating its temporary file and renaming it
        // may leave that file; it never takes the image's name.
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".zirvon-")) fs::remove(entry.path());
        }
    }
    EXPECT_GT(killed, 0);
}

TEST(Faults, SourceGrowingWhileReadIsReadConsistently) {
    TempDir dir;
    write_bytes(dir / "song.MML", "1[C]\r\n");
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::ofstream out(dir / "song.MML", std::ios::binary | std::ios::app);
        for (int line = 0; !stop && line < 20'000; ++line) {
            out << "1[C D E F]\r\n" << std::flush;
            if (line % 100 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int round = 0; round < 20; ++round) {
        const RunResult r = run_zirvon({"song.mml"}, dir.path());
        if (r.status == 1) {
            // Only a full track may stop it.
            EXPECT_NE(r.err.find("is full"), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
        }
    }
    stop = true;
    writer.join();
}

TEST(Faults, PipesAndFoldersAreNotReadAsFiles) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.MZT").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.MML").c_str(), 0600), 0);
    fs::create_directory(dir / "folder.MZT");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"pipe.MZT", "/list"}, "zirvon: cannot read 'pipe.MZT': it is not a regular file\n"},
        {{"pipe.mml"}, "zirvon: cannot read 'pipe.MML': it is not a regular file\n"},
        {{"folder.MZT", "/list"}, "zirvon: cannot read 'folder.MZT': it is a folder, not a file\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = run_zirvon(c.args, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(entries_in(dir.path()), 3u);
}

}  // namespace
}  // namespace zirvon
