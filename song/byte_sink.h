// Where the bytes of a file go as they are made, so that a large one is
// never held whole.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace zirvon {

/// Takes the next bytes of a file being written; false once writing failed.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

}  // namespace zirvon
