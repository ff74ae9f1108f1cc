// The bytes that pass between the page's JavaScript and the core: numbers
// little-endian, texts and byte strings as a 32-bit length and the bytes.
// web/src/wire.js reads and writes the same.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon::web {

class WireWriter {
public:
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u32(std::uint32_t value);
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void text(std::string_view value);
    void bytes(std::span<const std::uint8_t> value);

    const std::vector<std::uint8_t>& data() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

/// Reads what a WireWriter (or wire.js) wrote. Reading past the end gives
/// zeros and empty texts and marks the reader bad.
class WireReader {
public:
    explicit WireReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t u8();
    std::uint32_t u32();
    std::string text();
    bool good() const { return good_; }

private:
    bool take(std::size_t n);

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool good_ = true;
};

}  // namespace zirvon::web
