#include "smf/smf_reader.h"

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

#include "text/format.h"

namespace zirvon::smf {
namespace {

/// A cursor over the bytes of a chunk that never reads past them.
class Bytes {
  public:
    explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t left() const { return bytes_.size() - at_; }
    bool read(std::uint8_t& byte) {
        if (at_ >= bytes_.size()) return false;
        byte = bytes_[at_++];
        return true;
    }
    bool peek(std::uint8_t& byte) const {
        if (at_ >= bytes_.size()) return false;
        byte = bytes_[at_];
        return true;
    }
    bool skip(std::uint64_t n) {
        if (n > left()) return false;
        at_ += static_cast<std::size_t>(n);
        return true;
    }
    bool read_big_endian(int n, std::uint32_t& value) {
        if (left() < static_cast<std::size_t>(n)) return false;
        value = 0;
        for (int i = 0; i < n; ++i) value = value << 8 | bytes_[at_++];
        return true;
    }
    /// A variable-length quantity: at most four bytes, seven bits each.
    bool read_number(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t byte = 0;
            if (!read(byte)) return false;
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) return true;
        }
        return false;
    }
    std::span<const std::uint8_t> take(std::size_t n) {
        const auto part = bytes_.subspan(at_, n);
        at_ += n;
        return part;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

bool is_tag(std::span<const std::uint8_t> bytes, const char* tag) {
    return bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, tag);
}

/// Reads one track chunk's events into `file`.
class TrackReader {
  public:
    TrackReader(SmfFile& file, std::uint16_t track) : file_(file), track_(track) {}

    /// An empty string when the track reads; else what is wrong with it.
    std::string read(Bytes bytes) {
        std::uint8_t running = 0;
        while (bytes.left() > 0) {
            std::uint32_t delta = 0;
            if (!bytes.read_number(delta))
                return "an event's time is cut short or longer than four bytes";
            tick_ += delta;
            std::uint8_t status = 0;
            if (!bytes.peek(status)) return "the track ends after an event's time";
            if (status & 0x80) {
                bytes.skip(1);
            } else if (running) {
                status = running;
            } else {
                return "a data byte stands where an event should start";
            }
            if (status == 0xFF) {
                std::uint8_t type = 0;
                std::uint32_t length = 0;
                if (!bytes.read(type) || !bytes.read_number(length) || length > bytes.left()) {
                    return "a meta event runs past the end of its track";
                }
                running = 0;
                if (type == 0x2F) break;  // end of track
                meta(type, bytes.take(length));
            } else if (status == 0xF0 || status == 0xF7) {
                std::uint32_t length = 0;
                if (!bytes.read_number(length) || !bytes.skip(length)) {
                    return "a system exclusive message runs past the end of its track";
                }
                running = 0;
                ++file_.system_exclusives;
            } else if (status >= 0xF0) {
                return "status byte " + hex(status, 2) + " has no place in a MIDI file";
            } else {
                running = status;
                std::array<std::uint8_t, 2> data{};
                const int count = (status & 0xE0) == 0xC0 ? 1 : 2;
                for (int i = 0; i < count; ++i) {
                    if (!bytes.read(data[static_cast<std::size_t>(i)]))
                        return "a message is cut short";
                    if (data[static_cast<std::size_t>(i)] & 0x80)
                        return "a message is cut short by a status byte";
                }
                channel_message(status, data[0], data[1]);
            }
        }
        // Notes still sounding at the track's end end there.
        for (auto& [key, index] : sounding_) file_.notes[index].end = tick_;
        sounding_.clear();
        return {};
    }

  private:
    void meta(std::uint8_t type, std::span<const std::uint8_t> data) {
        if (type == 0x51 && data.size() >= 3) {
            const std::uint32_t microseconds = static_cast<std::uint32_t>(data[0]) << 16 |
                                               static_cast<std::uint32_t>(data[1]) << 8 | data[2];
            if (microseconds > 0) {
                file_.tempos.push_back({tick_, microseconds});
            } else {
                ++file_.zero_tempos;
            }
        } else if (type == 0x58 && data.size() >= 2) {
            if (data[0] > 0 && data[1] <= 8) file_.meters.push_back({tick_, data[0], data[1]});
        }
    }

    void channel_message(std::uint8_t status, std::uint8_t key, std::uint8_t value) {
        const std::uint8_t channel = status & 0x0F;
        switch (status & 0xF0) {
            case 0x90:
                if (value > 0) {
                    note_on(channel, key, value);
                    break;
                }
                [[fallthrough]];
            case 0x80:
                note_off(channel, key);
                break;
            case 0xA0:
            case 0xD0:
                ++file_.aftertouches;
                break;
            case 0xB0:
                ++file_.controllers;
                break;
            case 0xC0:
                ++file_.program_changes;
                break;
            default:
                ++file_.pitch_bends;
                break;
        }
    }

    void note_on(std::uint8_t channel, std::uint8_t key, std::uint8_t velocity) {
        // The same key again on the same channel ends the note before it.
        note_off(channel, key);
        sounding_[channel << 7 | key] = file_.notes.size();
        file_.notes.push_back({tick_, tick_, key, channel, velocity, track_});
        file_.lowest_velocity = std::min(file_.lowest_velocity, velocity);
        file_.highest_velocity = std::max(file_.highest_velocity, velocity);
    }

    void note_off(std::uint8_t channel, std::uint8_t key) {
        const auto it = sounding_.find(channel << 7 | key);
        if (it == sounding_.end()) return;
        file_.notes[it->second].end = tick_;
        sounding_.erase(it);
    }

    SmfFile& file_;
    std::uint16_t track_;
    std::uint64_t tick_ = 0;
    std::map<int, std::size_t> sounding_;
};

}  // namespace

bool read_smf(std::span<const std::uint8_t> input, SmfFile& file, std::string& error) {
    file = SmfFile{};
    const auto refuse = [&](const std::string& why) {
        file = SmfFile{};
        error = why;
        return false;
    };
    Bytes bytes(input);
    std::uint32_t header_length = 0;
    std::uint32_t format = 0;
    std::uint32_t tracks = 0;
    std::uint32_t division = 0;
    if (!is_tag(input, "MThd")) return refuse("not a MIDI file: it does not start with 'MThd'");
    bytes.skip(4);
    if (!bytes.read_big_endian(4, header_length) || header_length < 6 ||
        header_length > bytes.left() || !bytes.read_big_endian(2, format) ||
        !bytes.read_big_endian(2, tracks) || !bytes.read_big_endian(2, division) ||
        !bytes.skip(header_length - 6)) {
        return refuse("damaged MIDI file: its header is cut short");
    }
    if (format > 1) {
        return refuse(
            format == 2
                ? "MIDI file of format 2 (independent patterns): only formats 0 and 1 are read"
                : "damaged MIDI file: format " + std::to_string(format) + " is none of 0, 1 and 2");
    }
    if (division == 0) return refuse("damaged MIDI file: its header gives 0 ticks a quarter note");
    file.format = static_cast<int>(format);
    if (division & 0x8000) {
        file.smpte = true;
        file.frames = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        file.ticks_per_frame = static_cast<int>(division & 0xFF);
        if ((file.frames != 24 && file.frames != 25 && file.frames != 29 && file.frames != 30) ||
            file.ticks_per_frame == 0) {
            return refuse("damaged MIDI file: its header gives " + std::to_string(file.frames) +
                          " frames a second and " + std::to_string(file.ticks_per_frame) +
                          " ticks a frame");
        }
    } else {
        file.division = division;
    }
    std::uint32_t read_tracks = 0;
    while (read_tracks < tracks && bytes.left() > 0) {
        std::uint32_t length = 0;
        const std::span<const std::uint8_t> tag =
            bytes.take(std::min<std::size_t>(4, bytes.left()));
        if (tag.size() < 4 || !bytes.read_big_endian(4, length)) {
            return refuse("damaged MIDI file: it ends inside a chunk's header");
        }
        if (length > bytes.left()) {
            return refuse("damaged MIDI file: track " + std::to_string(read_tracks + 1) +
                          " is cut short (" + with_commas(length) + " bytes promised, " +
                          with_commas(bytes.left()) + " left)");
        }
        const std::span<const std::uint8_t> chunk = bytes.take(length);
        if (!is_tag(tag, "MTrk")) continue;  // chunks of other kinds are skipped
        const std::string problem =
            TrackReader(file, static_cast<std::uint16_t>(read_tracks)).read(Bytes(chunk));
        if (!problem.empty()) {
            return refuse("damaged MIDI file: in track " + std::to_string(read_tracks + 1) + ", " +
                          problem);
        }
        ++read_tracks;
    }
    if (read_tracks < tracks) {
        return refuse("damaged MIDI file: its header names " + counted(tracks, "track") +
                      ", it holds " + std::to_string(read_tracks));
    }
    std::stable_sort(file.notes.begin(), file.notes.end(), [](const SmfNote& a, const SmfNote& b) {
        return std::tie(a.start, a.track, a.channel, a.key) <
               std::tie(b.start, b.track, b.channel, b.key);
    });
    std::stable_sort(file.tempos.begin(), file.tempos.end(),
                     [](const SmfTempo& a, const SmfTempo& b) { return a.tick < b.tick; });
    std::stable_sort(file.meters.begin(), file.meters.end(),
                     [](const SmfMeter& a, const SmfMeter& b) { return a.tick < b.tick; });
    return true;
}

}  // namespace zirvon::smf
