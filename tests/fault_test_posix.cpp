// Faults a user can meet on POSIX systems: a run killed half-way, sources
// that change or are not files. None of them may cost an existing image.
// (A full disk is met in process, on every system: fault_test.cpp.)
#include <gtest/gtest.h>
#include <signal.h>
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

#include "tests/songs.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

TEST(Faults, KilledRunLeavesTheOldImageOrTheNewOneNeverAPart) {
    TempDir dir;
    write_bytes(dir / "song.MML", testing_support::two_full_tracks());
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
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace zirvon
