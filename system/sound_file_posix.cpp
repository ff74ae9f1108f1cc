#include "system/sound_file.h"

#include <sndfile.h>

#include <algorithm>

#include "system/file_kind.h"
#include "system/shared_library_posix.h"

namespace zirvon {
namespace {

#define ZIRVON_SNDFILE_FUNCTIONS(X) X(sf_open) X(sf_close) X(sf_readf_float) X(sf_strerror) X(sf_error) X(sf_command)

struct SndfileLibrary {
    ZIRVON_LIBRARY_FUNCTIONS(ZIRVON_SNDFILE_FUNCTIONS)
};

/// Closes the file when reading ends, however it ends.
struct OpenSoundFile {
    SndfileLibrary& library;
    SNDFILE* file;
    ~OpenSoundFile() {
        if (file != nullptr) library.sf_close(file);
    }
};

}  // namespace

bool read_sound_file(const std::string& path, std::vector<std::vector<float>>& channels, int& sample_rate,
                     std::string& error) {
    std::string why;
    if (file_kind(path, why) != FileKind::regular) {
        error = "cannot read '" + path + "': " + why;
        return false;
    }
    static SndfileLibrary library;
    static const bool loaded = library.load_functions(ZIRVON_SNDFILE_LIBRARY);
    if (!loaded) {
        error = "cannot read the recording '" + path + "': " + library.load_failure() +
                " (the library that reads WAV, FLAC and Ogg files; Debian's package libsndfile1)";
        return false;
    }
    SF_INFO info{};
    OpenSoundFile open{library, library.sf_open(path.c_str(), SFM_READ, &info)};
    if (open.file == nullptr) {
        error = "cannot read the recording '" + path + "': " + library.sf_strerror(nullptr);
        return false;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        error = "cannot read the recording '" + path + "': it holds no audio";
        return false;
    }
    if (static_cast<unsigned long long>(info.frames) > kMaxRecordingFrames) {
        error = "cannot read the recording '" + path + "': it is longer than two hours";
        return false;
    }
    // Integer samples arrive in -1..1 and floats as they are, not scaled.
    library.sf_command(open.file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    const auto count = static_cast<std::size_t>(info.channels);
    channels.assign(count, {});
    for (auto& channel : channels) channel.reserve(static_cast<std::size_t>(info.frames));
    std::vector<float> buffer(4096 * count);
    for (;;) {
        const sf_count_t got = library.sf_readf_float(open.file, buffer.data(), 4096);
        if (got <= 0) break;
        for (sf_count_t f = 0; f < got; ++f) {
            for (std::size_t c = 0; c < count; ++c) {
                channels[c].push_back(std::clamp(buffer[static_cast<std::size_t>(f) * count + c], -1.0f, 1.0f));
            }
        }
    }
    if (library.sf_error(open.file) != SF_ERR_NO_ERROR) {
        error = "cannot read the recording '" + path + "': " + library.sf_strerror(open.file);
        return false;
    }
    sample_rate = info.samplerate;
    return true;
}

}  // namespace zirvon
