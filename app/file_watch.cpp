#include "app/file_watch.h"

#include "mml/source_text.h"
#include "system/input_file.h"

namespace zirvon {

FileWatch::Read FileWatch::read(std::string& bytes) {
    std::string error;
    bool missing = false;
    FileStamp stamp;
    if (!file_stamp(path_, stamp, missing)) {
        if (missing) return Read::missing;
    } else {
        stamp_ = stamp;
    }
    // A source too large to compile is still read whole up to the limit;
    // the build says what is wrong with it.
    if (read_whole_file(path_, kMaxSourceSize, bytes, error)) return Read::ok;
    if (!file_stamp(path_, stamp, missing) && missing) return Read::missing;
    why_ = error;
    return Read::failed;
}

FileWatch::Event FileWatch::missing() {
    candidate_.reset();
    unreadable_since_.reset();
    unreadable_told_ = false;
    stamp_.reset();
    if (gone_) return Event::none;
    gone_ = true;
    // Whatever comes back is a change, even the same bytes.
    taken_.reset();
    return Event::gone;
}

FileWatch::Event FileWatch::failed(Clock::time_point now, bool at_once) {
    candidate_.reset();
    if (!unreadable_since_) unreadable_since_ = now;
    if (unreadable_told_ || (!at_once && now - *unreadable_since_ <= kUnreadableFor))
        return Event::none;
    unreadable_told_ = true;
    return Event::unreadable;
}

std::optional<FileWatch::Event> FileWatch::read_now(Clock::time_point now, bool first, std::string& bytes) {
    last_read_ = now;
    switch (read(bytes)) {
        case Read::missing:
            return missing();
        case Read::failed:
            return failed(now, first);
        case Read::ok:
            break;
    }
    return std::nullopt;
}

FileWatch::Event FileWatch::first(Clock::time_point now) {
    std::string bytes;
    if (const std::optional<Event> trouble = read_now(now, true, bytes)) return *trouble;
    taken_ = std::move(bytes);
    return Event::changed;
}

FileWatch::Event FileWatch::poll(Clock::time_point now) {
    FileStamp stamp;
    bool is_missing = false;
    const bool stamped = file_stamp(path_, stamp, is_missing);
    if (!stamped && is_missing) return missing();
    gone_ = false;

    // Read when the stamp moved, when a new text awaits its second read,
    // when the last read failed, and at least once a second.
    const bool due = !stamped || !stamp_ || stamp != *stamp_ || candidate_ || !taken_ ||
                     unreadable_since_ || now - last_read_ >= kReadAtLeastEvery;
    if (!due) return Event::none;
    std::string bytes;
    if (const std::optional<Event> trouble = read_now(now, false, bytes)) return *trouble;
    unreadable_since_.reset();
    unreadable_told_ = false;

    if (taken_ && bytes == *taken_) {
        candidate_.reset();  // saved back as it was, or touched
        return Event::none;
    }
    if (candidate_ && bytes == *candidate_) {
        taken_ = std::move(bytes);
        candidate_.reset();
        return Event::changed;
    }
    candidate_ = std::move(bytes);
    return Event::none;
}

}  // namespace zirvon
