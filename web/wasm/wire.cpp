#include "web/wasm/wire.h"

namespace zirvon::web {

void WireWriter::u32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void WireWriter::text(std::string_view value) {
    bytes({reinterpret_cast<const std::uint8_t*>(value.data()), value.size()});
}

void WireWriter::bytes(std::span<const std::uint8_t> value) {
    u32(static_cast<std::uint32_t>(value.size()));
    bytes_.insert(bytes_.end(), value.begin(), value.end());
}

bool WireReader::take(std::size_t n) {
    if (!good_ || bytes_.size() - at_ < n) {
        good_ = false;
        return false;
    }
    return true;
}

std::uint8_t WireReader::u8() { return take(1) ? bytes_[at_++] : 0; }

std::uint32_t WireReader::u32() {
    if (!take(4)) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{bytes_[at_++]} << (8 * i);
    return value;
}

std::string WireReader::text() {
    const std::uint32_t n = u32();
    if (!take(n)) return {};
    std::string value(reinterpret_cast<const char*>(bytes_.data() + at_), n);
    at_ += n;
    return value;
}

}  // namespace zirvon::web
