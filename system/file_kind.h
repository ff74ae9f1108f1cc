// What a name on disk stands for: the look a reader takes before opening.
// Names are bytes, handed to the system unchanged.
#pragma once

#include <cstdint>
#include <string>

namespace zirvon {

enum class FileKind {
    unknown,  ///< nothing there, or it cannot be looked at
    regular,  ///< an ordinary file
    folder,
    other,  ///< a device, a pipe, a socket...
};

/// What `path` names, links followed. When it is FileKind::unknown, `why`
/// says why, in the words the C library uses: "No such file or directory",
/// "Permission denied", "File name too long".
FileKind file_kind(const std::string& path, std::string& why);

/// True when something (file, folder, link, even a dangling one) has the
/// name `path`.
bool path_exists(const std::string& path);

/// True when both names reach one and the same file: song.MML and song.mml
/// where names ignore case, a link and its target.
bool same_file(const std::string& a, const std::string& b);

/// What tells that a file may have changed without reading it: its size,
/// the time of its last change and which file the name stands for.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  ///< in the system's own units
    std::uint64_t identity = 0;  ///< the file behind the name, where the system tells it cheaply

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp of `path`, links followed. False when it cannot be had;
/// `missing` then says whether nothing at all has that name.
bool file_stamp(const std::string& path, FileStamp& stamp, bool& missing);

}  // namespace zirvon
