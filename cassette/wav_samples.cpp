#include "cassette/wav_samples.h"

#include <cstring>

namespace zirvon::cassette {
namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;

std::uint32_t get(std::span<const std::uint8_t> b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

struct Layout {
    std::uint16_t tag = 0;
    int channels = 0;
    int rate = 0;
    int block_align = 0;
    int bits = 0;
};

/// One sample of `layout` at `p`, in -1..1.
float sample(const std::uint8_t* p, const Layout& layout, int bytes) {
    if (layout.tag == kFloat) {
        if (bytes == 4) {
            float f;
            const std::uint32_t v = get({p, 4}, 0, 4);
            std::memcpy(&f, &v, 4);
            return f;
        }
        std::uint64_t v = get({p, 4}, 0, 4) | static_cast<std::uint64_t>(get({p + 4, 4}, 0, 4)) << 32;
        double d;
        std::memcpy(&d, &v, 8);
        return static_cast<float>(d);
    }
    if (bytes == 1) return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
    // Signed, low byte first: the top byte carries the sign.
    std::int64_t v = static_cast<std::int8_t>(p[bytes - 1]);
    for (int i = bytes - 2; i >= 0; --i) v = v * 256 + p[i];
    return static_cast<float>(static_cast<double>(v) / static_cast<double>(std::int64_t{1} << (8 * bytes - 1)));
}

bool read_format(std::span<const std::uint8_t> chunk, Layout& layout, std::string& error) {
    if (chunk.size() < 16) {
        error = "its format chunk is too short";
        return false;
    }
    layout.tag = static_cast<std::uint16_t>(get(chunk, 0, 2));
    layout.channels = static_cast<int>(get(chunk, 2, 2));
    layout.rate = static_cast<int>(get(chunk, 4, 4));
    layout.block_align = static_cast<int>(get(chunk, 12, 2));
    layout.bits = static_cast<int>(get(chunk, 14, 2));
    if (layout.tag == kExtensible && chunk.size() >= 26) {
        layout.tag = static_cast<std::uint16_t>(get(chunk, 24, 2));  // the sub-format's first field
    }
    if (layout.tag != kPcm && layout.tag != kFloat) {
        error = "its samples are neither PCM nor floating point";
        return false;
    }
    if (layout.channels < 1 || layout.rate < 1 || layout.rate > 1'000'000) {
        error = "its format chunk gives " + std::to_string(layout.channels) + " channels at " +
                std::to_string(layout.rate) + " Hz";
        return false;
    }
    const int bytes = layout.block_align / layout.channels;
    const bool ok = layout.block_align % layout.channels == 0 &&
                    (layout.tag == kPcm ? bytes >= 1 && bytes <= 4 : bytes == 4 || bytes == 8);
    if (!ok) {
        error = "its samples of " + std::to_string(layout.bits) + " bits in " +
                std::to_string(layout.block_align) + "-byte frames cannot be read";
        return false;
    }
    return true;
}

}  // namespace

bool read_wav_samples(std::span<const std::uint8_t> bytes, std::vector<std::vector<float>>& channels,
                      int& sample_rate, std::string& error) {
    channels.clear();
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    Layout layout;
    bool have_format = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::size_t size = get(bytes, at + 4, 4);
        const std::size_t body = at + 8;
        // A recording cut short keeps what it has; its chunk size still
        // counts what it lost.
        const std::size_t have = std::min(size, bytes.size() - body);
        const auto chunk = bytes.subspan(body, have);
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0) {
            if (!read_format(chunk, layout, error)) return false;
            have_format = true;
        } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
            if (!have_format) {
                error = "its samples come before their format";
                return false;
            }
            const int sample_bytes = layout.block_align / layout.channels;
            const std::size_t frames = chunk.size() / static_cast<std::size_t>(layout.block_align);
            channels.assign(static_cast<std::size_t>(layout.channels), std::vector<float>(frames));
            const std::uint8_t* p = chunk.data();
            for (std::size_t f = 0; f < frames; ++f) {
                for (auto& channel : channels) {
                    channel[f] = sample(p, layout, sample_bytes);
                    p += sample_bytes;
                }
            }
            sample_rate = layout.rate;
            return true;
        }
        if (size > bytes.size() - body) break;
        at = body + size + (size & 1);
    }
    error = have_format ? "it holds no samples" : "it has no format chunk";
    return false;
}

}  // namespace zirvon::cassette
