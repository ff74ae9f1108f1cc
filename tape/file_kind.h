// What a name on disk stands for: the look a reader takes before opening.
// Names are bytes, handed to the system unchanged.
#pragma once

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

}  // namespace zirvon
