// A full disk, met in process on every system: what the run writes goes
// into an in-memory store with little room left. It may cost no existing
// file, and leave no temporary one behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/memory_files.h"
#include "tests/songs.h"
#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace testing_support::runs;

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
        fs::create_directory(dir / "disk");
        write_bytes(dir / "disk" / "song.MML", testing_support::two_full_tracks());
        MemoryFiles disk;
        const UseFileStore use(disk);
        disk.put("disk/" + c.file, "previous file");
        disk.leave_room(16 * 1024);

        const RunResult r = run_in_process(c.args, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("zirvon: cannot write 'disk/" + c.file + "': No space left on device; "),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(disk.bytes("disk/" + c.file), "previous file");
        EXPECT_EQ(disk.names_in("disk"), std::vector<std::string>{"disk/" + c.file})
            << "a temporary file was left behind";
    }
}

}  // namespace
}  // namespace zirvon
