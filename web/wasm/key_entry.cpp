#include "web/wasm/key_entry.h"

#include <optional>

#include "outputs/step_entry.h"

namespace zirvon::web {

void write_key_entry(std::string_view source, std::size_t offset, std::span<const int> keys,
                     int number, int dots, WireWriter& out) {
    std::optional<EntryLength> length;
    if (number > 0) length = EntryLength{number, dots};
    const StepEntry entry = step_entry(source, offset, keys, length);
    out.text(entry.error);
    out.u32(static_cast<std::uint32_t>(entry.offset));
    out.text(entry.text);
    out.i32(entry.track);
    out.i32(entry.pitch);
    out.text(entry.note);
}

}  // namespace zirvon::web
