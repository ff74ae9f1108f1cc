// Writing a file so that readers only ever see the old bytes or the new ones.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "song/byte_sink.h"

namespace zirvon {

/// Writes `bytes` to `path` atomically: into a temporary file in the same
/// folder, flushed to disk, then renamed over `path`. A failure at any step
/// removes the temporary file and leaves a previous `path` untouched. An
/// existing file that is read-only, or that the user may not write, is
/// refused ("cannot write 'song.MZT': it is read-only"). A new
/// file gets the usual permissions; a replaced one keeps its own. A pipe or
/// a device is written into instead of replaced: on POSIX systems an
/// existing named pipe or character device (a terminal, /dev/null), on
/// Windows a named pipe (\\.\pipe\NAME) or a device name (NUL, CON);
/// any other special file is refused.
/// On failure returns false and a message such as
/// "cannot write 'song.MZT': Permission denied".
bool write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes,
                           std::string& error);


/// The same for bytes that are made while the file is written, so that a
/// large file is never held whole: `produce` hands them to the sink piece by
/// piece and returns false when the sink refused one (it should then stop).
bool write_file_atomically(const std::string& path,
                           const std::function<bool(const ByteSink&)>& produce, std::string& error);

/// The same for a file written piece by piece, too big to hold whole:
/// open(), write() as often as needed, then commit(). Until commit() has
/// succeeded readers see the previous file; a writer destroyed before that
/// (or after a failure) removes its temporary file. A pipe or character
/// device is written into as the pieces come. An existing read-only file is
/// refused ("cannot write 'song.WAV': it is read-only"). Errors read as those
/// of write_file_atomically.
class AtomicWriter {
public:
    AtomicWriter();
    ~AtomicWriter();
    AtomicWriter(const AtomicWriter&) = delete;
    AtomicWriter& operator=(const AtomicWriter&) = delete;

    bool open(const std::string& path, std::string& error);
    bool write(std::span<const std::uint8_t> bytes, std::string& error);
    bool commit(std::string& error);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zirvon
