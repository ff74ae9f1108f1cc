#include "tape/tape_header.h"

#include <algorithm>
#include "tape/tape_image.h"
#include "text/format.h"

namespace zirvon {
namespace {

std::uint16_t get16(std::span<const std::uint8_t> image, std::size_t at) {
    return static_cast<std::uint16_t>(image[at] | (image[at + 1] << 8));
}

/// How far the old name and its CR reach into the name field.
std::size_t old_name_end(std::span<const std::uint8_t> image) {
    const auto field = image.subspan(kNameField, kNameFieldSize);
    return std::min<std::size_t>(std::find(field.begin(), field.end(), 0x0D) - field.begin() + 1, kNameFieldSize);
}

}  // namespace

std::string TapeHeaderFields::name() const {
    const auto cr = std::find(name_field.begin(), name_field.end(), 0x0D);
    return std::string(name_field.begin(), cr);
}

TapeHeaderFields read_tape_header(std::span<const std::uint8_t> image) {
    TapeHeaderFields fields;
    fields.attribute = image[0];
    std::copy_n(image.begin() + kNameField, fields.name_field.size(), fields.name_field.begin());
    fields.data_size = get16(image, kSizeField);
    fields.load_address = get16(image, kLoadField);
    fields.exec_address = get16(image, kExecField);
    return fields;
}

std::vector<std::string> tape_header_problems(std::span<const std::uint8_t> image, const Song& song) {
    const TapeHeaderFields header = read_tape_header(image);
    const std::size_t data_size = 3 * song.event_count();
    const std::size_t extra = image.size() - kTapeHeaderSize - data_size;
    std::vector<std::string> problems;
    if (header.attribute != kTapeAttribute) {
        problems.push_back("the attribute byte is " + hex(header.attribute, 2) + ", not 0xC8");
    }
    if (header.name_field.back() != 0x0D) problems.push_back("the tape name field does not end with CR");
    if (header.data_size != data_size) {
        problems.push_back("the header gives " + std::to_string(header.data_size) +
                           " bytes of data, the tracks hold " + std::to_string(data_size));
    }
    if (header.load_address != kLoadAddress) {
        problems.push_back("the load address is " + hex(header.load_address, 4) + ", not 0x315A");
    }
    if (header.exec_address != kExecAddress) {
        problems.push_back("the execution address is " + hex(header.exec_address, 4) + ", not 0x1200");
    }
    if (extra > 0) {
        problems.push_back(std::to_string(extra) + (extra == 1 ? " byte follows" : " bytes follow") +
                           " the tenth end mark and belong to no track");
    }
    return problems;
}

std::vector<std::uint8_t> rebuild_tape_image(const Song& song, std::span<const std::uint8_t> old_image,
                                             std::optional<std::string_view> new_name) {
    std::vector<std::uint8_t> image = build_tape_image(song, new_name.value_or(""));
    const TapeHeader fresh = make_tape_header(new_name.value_or(""), 3 * song.event_count());
    std::copy_n(old_image.begin(), kTapeHeaderSize, image.begin());
    for (const std::size_t at : {std::size_t{0}, kSizeField, kSizeField + 1, kLoadField, kLoadField + 1,
                                 kExecField, kExecField + 1, kNameField + kNameFieldSize - 1}) {
        image[at] = fresh[at];
    }
    if (new_name) {
        const auto field = image.begin() + kNameField;
        std::fill_n(field, old_name_end(old_image), 0);
        const std::size_t written = std::min(new_name->size() + 1, kNameFieldSize);
        std::copy_n(fresh.begin() + kNameField, written, field);
    }
    return image;
}

std::size_t tape_name_covers(std::span<const std::uint8_t> old_image, std::string_view new_name) {
    const std::size_t from = old_name_end(old_image);
    const std::size_t to = std::min(new_name.size() + 1, kNameFieldSize - 1);
    std::size_t covered = 0;
    for (std::size_t i = from; i < to; ++i) covered += old_image[kNameField + i] != 0 ? 1 : 0;
    return covered;
}

std::size_t tape_header_extra_bytes(std::span<const std::uint8_t> image) {
    std::size_t extra = 0;
    const auto count = [&](std::size_t from, std::size_t to) {
        if (from >= to) return;  // a name of 15 bytes leaves nothing after its CR
        extra += static_cast<std::size_t>(std::count_if(image.begin() + from, image.begin() + to,
                                                        [](std::uint8_t b) { return b != 0; }));
    };
    count(kNameField + old_name_end(image), kNameField + kNameFieldSize - 1);
    count(kNameField + kNameFieldSize, kSizeField);
    count(kExecField + 2, kTapeHeaderSize);
    return extra;
}

}  // namespace zirvon
