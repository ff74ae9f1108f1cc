#include "lsp/key_entry.h"

#include <algorithm>

#include "lsp/server.h"
#include "mml/note_length.h"

namespace zirvon::lsp {
namespace {

/// An error that zirvon.entry answers with.
struct EntryError {
    std::string message;
};

const json& field(const json& object, const char* name) {
    static const json kNull;
    return object.is_object() && object.contains(name) ? object[name] : kNull;
}

json notification(const char* method, json params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

/// "8", "4.", or null/"" for the default length.
std::optional<EntryLength> length_from(const json& value) {
    if (value.is_null() || (value.is_string() && value.get<std::string>().empty())) return std::nullopt;
    const std::string text = value.is_number_integer() ? std::to_string(value.get<std::int64_t>())
                             : value.is_string()       ? value.get<std::string>()
                                                       : std::string("?");
    EntryLength length{0, 0};
    std::size_t i = 0;
    while (i < text.size() && i < 3 && text[i] >= '0' && text[i] <= '9') length.number = length.number * 10 + (text[i++] - '0');
    while (i < text.size() && text[i] == '.') ++length.dots, ++i;
    if (i == 0 || i != text.size() || length_ticks(MmlNumber::of(static_cast<std::uint64_t>(length.number)), 0) == 0 ||
        length.dots > 3) {
        throw EntryError{"length '" + text + "' is not a note length: 1, 2, 4, 8, 16 or 32, with up to 3 dots"};
    }
    return length;
}

std::string length_text(const std::optional<EntryLength>& length) {
    return length ? std::to_string(length->number) + std::string(static_cast<std::size_t>(length->dots), '.') : "";
}

/// The key an edit enters, for a message: "MIDI note 60 (`>C`)".
std::string key_named(const std::vector<int>& keys, const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::string written = first == std::string::npos ? text : text.substr(first, text.find_last_not_of(' ') + 1 - first);
    if (keys.empty()) return "the rest (`" + written + "`)";
    return "MIDI note " + std::to_string(*std::min_element(keys.begin(), keys.end())) + " (`" + written + "`)";
}

}  // namespace

void KeyEntry::configure(const json& settings) {
    const json& port = field(settings, "entryPort");
    if (port.is_string()) port_choice_ = port.get<std::string>();
    if (port.is_number_integer()) port_choice_ = std::to_string(port.get<std::int64_t>());
    const json& rest = field(settings, "restKey");
    if (rest.is_number_integer()) rest_key_ = static_cast<int>(std::clamp<std::int64_t>(rest.get<std::int64_t>(), -1, 127));
    if (rest.is_null() && settings.is_object() && settings.contains("restKey")) rest_key_ = -1;
}

json KeyEntry::command(const json& argument, const std::optional<std::string>& output_port, std::string& error) {
    const std::string action = field(argument, "action").is_string() ? argument["action"].get<std::string>() : "start";
    try {
        if (action == "stop") {
            stop();
            return state();
        }
        if (action == "length") {
            length_ = length_from(field(argument, "length"));
            if (active_) notify();
            return state();
        }
        if (action == "rest") {
            if (!active_) throw EntryError{"entry is off: zirvon.entry starts it"};
            waiting_.push_back({});
            enter_next();
            return state();
        }
        if (action != "start") throw EntryError{"zirvon.entry's action is start, stop, rest or length, not '" + action + "'"};
        if (!keyboard_) throw EntryError{"this server has no MIDI input"};
        const std::string uri = argument.at("uri").get<std::string>();
        const auto doc = documents_.find(uri);
        if (doc == documents_.end()) throw EntryError{"'" + uri + "' is not open"};
        const std::size_t place = doc->second.lines().offset_of(position_from(argument.at("position")));
        const std::optional<EntryLength> length = length_from(field(argument, "length"));
        // A rest tried there says whether anything can be entered.
        const StepEntry probe = step_entry(doc->second.lines().text(), place, {}, std::nullopt);
        if (!probe.error.empty()) throw EntryError{"no entry here: " + probe.error};
        stop();
        // The output first: a keyboard input of ours must not be there when
        // the output picks its port.
        std::string heard;
        const bool output = playback_.open_output(output_port, heard);
        const std::string choice =
            field(argument, "port").is_string() ? argument["port"].get<std::string>() : port_choice_;
        std::string why;
        if (!keyboard_->open(choice, why)) throw EntryError{why};
        active_ = true;
        uri_ = uri;
        place_ = place;
        length_ = length;
        channel_ = probe.track >= 1 && probe.track <= 8 ? probe.track : 1;
        notify(output ? "" : "keys are not heard: " + heard);
        return state();
    } catch (const EntryError& e) {
        error = e.message;
        return nullptr;
    }
}

json KeyEntry::state(const std::string& message) const {
    json s = {{"active", active_}, {"length", length_text(length_)}};
    if (active_) {
        s["uri"] = uri_;
        s["port"] = keyboard_ ? keyboard_->name() : "";
        const auto doc = documents_.find(uri_);
        if (doc != documents_.end()) s["position"] = to_json(doc->second.lines().position_of(place_));
    }
    if (!message.empty()) s["message"] = message;
    return s;
}

void KeyEntry::notify(const std::string& message) {
    out_.send(notification("zirvon/entry", state(message)));
}

void KeyEntry::say(int type, const std::string& message) {
    out_.send(notification("window/showMessage", {{"type", type}, {"message", "zirvon: " + message}}));
}

void KeyEntry::stop() {
    for (const auto& [key, channel] : held_) {
        playback_.send({static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0});
    }
    held_.clear();
    chord_.clear();
    waiting_.clear();
    in_flight_.reset();
    await_change_ = false;
    if (!active_) return;
    active_ = false;
    if (keyboard_) keyboard_->close();
    notify();
}

void KeyEntry::closed(const std::string& uri) {
    if (active_ && uri == uri_) stop();
}

void KeyEntry::key(const std::uint8_t* bytes, std::size_t size, std::uint64_t now_ms) {
    if (!active_ || size < 3) return;
    const int kind = bytes[0] & 0xF0;
    const int key = bytes[1] & 0x7F;
    const bool on = kind == 0x90 && bytes[2] != 0;
    if (!on && kind != 0x80 && kind != 0x90) return;
    if (!on) {
        // Its note-off goes where its note-on went, whatever moved since.
        if (const auto h = held_.find(key); h != held_.end()) {
            playback_.send({static_cast<std::uint8_t>(0x80 | h->second), static_cast<std::uint8_t>(key), 0});
            held_.erase(h);
        }
        return;
    }
    if (key == rest_key_) {
        tick(UINT64_MAX);
        waiting_.push_back({});
        enter_next();
        return;
    }
    if (held_.emplace(key, channel_).second) {
        playback_.send({static_cast<std::uint8_t>(0x90 | channel_), static_cast<std::uint8_t>(key),
                        static_cast<std::uint8_t>(bytes[2] & 0x7F)});
    }
    if (!chord_.empty() && now_ms >= chord_due_) tick(now_ms);
    if (chord_.empty()) chord_due_ = now_ms + kChordWindowMs;
    chord_.push_back(key);
}

std::optional<std::uint64_t> KeyEntry::due() const {
    if (chord_.empty()) return std::nullopt;
    return chord_due_;
}

void KeyEntry::tick(std::uint64_t now_ms) {
    if (chord_.empty() || now_ms < chord_due_) return;
    waiting_.push_back({std::move(chord_)});
    chord_.clear();
    enter_next();
}

void KeyEntry::enter_next() {
    while (active_ && !in_flight_ && !await_change_ && !waiting_.empty()) {
        const auto doc = documents_.find(uri_);
        if (doc == documents_.end()) {
            stop();
            return;
        }
        Pending next = std::move(waiting_.front());
        waiting_.pop_front();
        const std::string& text = doc->second.lines().text();
        const StepEntry e = step_entry(text, std::min(place_, text.size()), next.keys, length_);
        if (!e.error.empty()) {
            say(2, e.error);
            continue;
        }
        if (!e.note.empty()) say(3, e.note);
        if (e.track >= 1 && e.track <= 8) channel_ = e.track;
        const Position at = doc->second.lines().position_of(e.offset);
        request_id_ = "zirvon-entry-" + std::to_string(next_request_++);
        in_flight_ = InFlight{e.offset, e.text, doc->second.version(), std::move(next)};
        json edit = {{"textDocument", {{"uri", uri_}, {"version", doc->second.version()}}},
                     {"edits", json::array({{{"range", range_json(at, at)}, {"newText", e.text}}})}};
        out_.send({{"jsonrpc", "2.0"},
                   {"id", request_id_},
                   {"method", "workspace/applyEdit"},
                   {"params", {{"edit", {{"documentChanges", json::array({edit})}}}}}});
    }
}

bool KeyEntry::response(const json& message) {
    const json& id = field(message, "id");
    if (!id.is_string() || !id.get<std::string>().starts_with("zirvon-entry-")) return false;
    if (!in_flight_ || id.get<std::string>() != request_id_) return true;
    const json& applied = field(field(message, "result"), "applied");
    if (applied.is_boolean() && applied.get<bool>()) {
        in_flight_->applied = true;
        if (in_flight_->changed) decide();
        return true;
    }
    // Refused, most likely because the text changed meanwhile: the changes
    // seen meanwhile were the user's, and have moved the place.
    const json& reason = field(field(message, "result"), "failureReason");
    retry("the editor refused the edit" + (reason.is_string() ? ": " + reason.get<std::string>() : ""));
    return true;
}

void KeyEntry::decide() {
    // An editor may answer that it made an edit of a text it has since
    // changed, and drop it. An edit made is the first change after the
    // version it was made for, so the first newer text holds it.
    if (!in_flight_->held) return retry("the editor said it made the edit, but its text does not hold it");
    place_ = in_flight_->place + in_flight_->text.size();
    in_flight_.reset();
    notify();
    enter_next();
}

void KeyEntry::retry(const std::string& why) {
    InFlight lost = std::move(*in_flight_);
    in_flight_.reset();
    if (++lost.what.tries < 3) {
        waiting_.push_front(std::move(lost.what));
        await_change_ = !lost.changed;
    } else {
        say(2, key_named(lost.what.keys, lost.text) + " was not entered: " + why);
    }
    enter_next();
}

void KeyEntry::moved(const std::string& uri, std::size_t from, std::size_t to, std::size_t length, bool whole) {
    if (!active_ || uri != uri_) return;
    // Where our edit is looked for: an insertion just there is before it
    // (an editor that finds its changes by comparing texts puts ours after
    // any same text that follows); a change around it puts it at the start.
    if (in_flight_) {
        std::size_t& at = in_flight_->place;
        if (whole) {
            at = std::min(at, length);
        } else if (to < at || (to == at && from < to)) {
            at = at - (to - from) + length;
        } else if (from < at) {
            at = from;
        }
    }
    // As if the change were the user's; once it proves to carry our edit,
    // decide() puts the place after that instead.
    if (whole) {
        place_ = std::min(place_, length);
    } else if (to <= place_) {
        place_ = place_ - (to - from) + length;
    } else if (from < place_) {
        place_ = from + length;
    }
}

void KeyEntry::changed(const std::string& uri, std::int64_t version) {
    if (!active_ || uri != uri_) return;
    await_change_ = false;
    // A newer text than our edit was made for: whether it holds the edit is
    // decided once the editor answers.
    if (in_flight_ && version > in_flight_->version) {
        in_flight_->changed = true;
        const auto doc = documents_.find(uri_);
        if (!in_flight_->held && doc != documents_.end()) {
            const std::string& text = doc->second.lines().text();
            in_flight_->held = text.compare(std::min(in_flight_->place, text.size()), in_flight_->text.size(),
                                            in_flight_->text) == 0;
        }
        if (in_flight_->applied) return decide();
    }
    enter_next();
}

}  // namespace zirvon::lsp
