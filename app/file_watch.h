// Noticing that a source file has been saved: by polling, which works the
// same on every system and file system, follows the path rather than the
// open file (so saving by writing a new file and renaming it over the old
// one works), and compares contents rather than trusting times.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "system/file_kind.h"

namespace zirvon {

class FileWatch {
public:
    using Clock = std::chrono::steady_clock;

    /// How often the caller is meant to poll.
    static constexpr std::chrono::milliseconds kPollEvery{100};
    /// Contents are read at least this often, whatever the size and time
    /// say: some file systems keep times in whole seconds or coarser.
    static constexpr std::chrono::seconds kReadAtLeastEvery{1};
    /// A file that cannot be read is reported once it stays so this long.
    static constexpr std::chrono::seconds kUnreadableFor{1};

    enum class Event {
        none,
        changed,     ///< new contents, taken whole: contents() has them
        gone,        ///< the file is not there (reported once, until it is back)
        unreadable,  ///< it is there but cannot be read; why() says why
    };

    explicit FileWatch(std::string path) : path_(std::move(path)) {}

    /// The first look: reads the file as it is now. changed (with its
    /// contents), gone, or unreadable at once.
    Event first(Clock::time_point now);
    /// One poll. A change is taken once two polls in a row read the same
    /// new contents, so a save made in several writes is taken whole; the
    /// same bytes saved again are no change. A file that comes back after it
    /// was gone is a change whatever it holds.
    Event poll(Clock::time_point now);

    const std::string& path() const { return path_; }
    /// The contents last taken.
    const std::string& contents() const { return *taken_; }
    /// Why the file cannot be read, after `unreadable`.
    const std::string& why() const { return why_; }

private:
    enum class Read { ok, missing, failed };
    Read read(std::string& bytes);
    Event missing();
    Event failed(Clock::time_point now, bool at_once);
    /// Reads the file into `bytes`; what went wrong, or nothing.
    std::optional<Event> read_now(Clock::time_point now, bool first, std::string& bytes);

    std::string path_;
    std::optional<std::string> taken_;      ///< the contents last reported as a change
    std::optional<std::string> candidate_;  ///< new contents read once, awaiting a second read
    std::optional<FileStamp> stamp_;        ///< as of the last read
    Clock::time_point last_read_{};
    bool gone_ = false;
    std::optional<Clock::time_point> unreadable_since_;
    bool unreadable_told_ = false;
    std::string why_;
};

}  // namespace zirvon
