#include "tape/tape_image.h"

#include <algorithm>
#include <utility>

#include "text/format.h"
#include "text/utf8.h"

namespace zirvon {
namespace {

void put16(TapeHeader& header, std::size_t at, std::size_t value) {
    header[at] = static_cast<std::uint8_t>(value & 0xFF);
    header[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

std::string cut_tape_name(const std::string& name) {
    std::size_t end = 0;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = decode_utf8(name, at).length;
        if (length == 0) return name.substr(0, kLongestTapeName);
        if (at + length > kLongestTapeName) break;
        end = at += length;
    }
    return name.substr(0, end);
}

}  // namespace

std::string fit_tape_name(std::string& name) {
    if (name.size() <= kLongestTapeName) return {};
    const std::string given = std::exchange(name, cut_tape_name(name));
    return "tape name '" + given + "' is longer than " + std::to_string(kLongestTapeName) + " bytes; it is cut to '" +
           name + "'";
}

std::string tape_name_refusal(std::string_view name) {
    const auto control = std::find_if(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
    if (control == name.end()) return {};
    return "tape name '" + printable(name) + "' holds control byte " +
           hex(static_cast<unsigned char>(*control), 2) + " (byte " + std::to_string(control - name.begin() + 1) +
           "); a tape name is text for the header: give it without control bytes";
}

TapeHeader make_tape_header(std::string_view tape_name, std::size_t data_size) {
    TapeHeader header{};
    header[0] = kTapeAttribute;
    // The name field: at most 15 characters, then CR; its last byte is CR too.
    const std::size_t n = std::min(tape_name.size(), kNameFieldSize - 1);
    std::copy_n(tape_name.begin(), n, header.begin() + kNameField);
    header[kNameField + n] = 0x0D;
    header[kNameField + kNameFieldSize - 1] = 0x0D;
    put16(header, kSizeField, data_size);
    put16(header, kLoadField, kLoadAddress);
    put16(header, kExecField, kExecAddress);
    return header;
}

std::vector<std::uint8_t> build_tape_image(const Song& song, std::string_view tape_name) {
    const std::size_t data_size = 3 * song.event_count();
    const TapeHeader header = make_tape_header(tape_name, data_size);
    std::vector<std::uint8_t> image(header.begin(), header.end());
    image.reserve(kTapeHeaderSize + data_size);
    for (const Track& track : song.tracks) {
        for (const TrackEvent& e : track.events()) {
            image.insert(image.end(), {e.note, e.length, e.gate});
        }
    }
    return image;
}

bool load_tape_image(std::span<const std::uint8_t> image, Song& song, std::string& error) {
    const auto refuse = [&](const std::string& why) {
        song = Song{};
        error = "not a tape image: " + why;
        return false;
    };
    if (image.size() < kTapeHeaderSize) {
        return refuse("it is " + with_commas(image.size()) +
                      " bytes long, shorter than the 128-byte header");
    }
    if (image.size() > kMaxTapeImage) {
        return refuse("it is " + with_commas(image.size()) + " bytes long; an image holds at most " +
                      with_commas(kMaxTapeImage));
    }
    std::size_t at = kTapeHeaderSize;
    for (int k = 0; k < kTrackCount; ++k) {
        Track& track = song.tracks[k];
        for (;;) {
            if (image.size() - at < 3) {
                return refuse("its data ends inside track " + std::to_string(k) +
                              ", before the end marks of all ten tracks");
            }
            const TrackEvent event{image[at], image[at + 1], image[at + 2]};
            at += 3;
            if (!track.append_event(event)) {
                return refuse("track " + std::to_string(k) + " holds more than " +
                              with_commas(kTrackCapacity) + " events");
            }
            if (event.note == EndMark) break;
        }
    }
    return true;
}

bool load_tape_file(std::string_view file_name, std::span<const std::uint8_t> bytes, Song& song,
                    std::string& error) {
    if (load_tape_image(bytes, song, error)) return true;
    // Only the first kTapeFileReadLimit bytes were read: the size is unknown.
    if (bytes.size() > kMaxTapeImage) {
        error = "not a tape image: it is longer than " + with_commas(kMaxTapeImage) +
                " bytes, the most an image can hold";
    }
    error = std::string(file_name) + ": " + error;
    return false;
}

bool starts_as_tape_image(std::string_view bytes) {
    if (bytes.size() < kTapeHeaderSize) return false;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    return byte(0) == kTapeAttribute && bytes.substr(kNameField, kNameFieldSize).find('\r') != std::string_view::npos &&
           byte(kLoadField) == (kLoadAddress & 0xFF) && byte(kLoadField + 1) == (kLoadAddress >> 8);
}

}  // namespace zirvon
