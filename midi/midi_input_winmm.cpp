// MidiInput on the Windows multimedia API (winmm): every MIDI input device
// in the system's order.
//
// winmm calls back on a thread of its own with MIM_DATA for each short
// message. midiInReset and midiInClose wait for no callback under way, so
// the call goes through a lock that close() takes too.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <mutex>

#include "midi/midi_input.h"

namespace zirvon::midi {
namespace {

std::string midi_error_text(MMRESULT result) {
    char text[MAXERRORLENGTH] = "";
    if (midiInGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || text[0] == '\0') {
        return "MIDI error " + std::to_string(result);
    }
    return text;
}

std::string device_name(UINT id) {
    MIDIINCAPSA caps{};
    if (midiInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return {};
    return std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
}

}  // namespace

struct MidiInput::Backend {
    std::vector<UINT> ids;
    HMIDIIN in = nullptr;
    std::mutex mutex;  ///< held while a message is handed on, and to stop that
    const Receive* receive = nullptr;

    static void CALLBACK on_message(HMIDIIN, UINT kind, DWORD_PTR self, DWORD_PTR message, DWORD_PTR) {
        if (kind != MIM_DATA) return;
        auto& b = *reinterpret_cast<Backend*>(self);
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(message & 0xFF),
                                       static_cast<std::uint8_t>((message >> 8) & 0xFF),
                                       static_cast<std::uint8_t>((message >> 16) & 0xFF)};
        if (bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
        // Program change and channel pressure have one data byte.
        const std::size_t size = (bytes[0] & 0xF0) == 0xC0 || (bytes[0] & 0xF0) == 0xD0 ? 2 : 3;
        std::lock_guard lock(b.mutex);
        if (b.receive) (*b.receive)(bytes, size);
    }
};

MidiInput::MidiInput() : backend_(std::make_unique<Backend>()) {}

MidiInput::~MidiInput() {
    close();
}

bool MidiInput::is_open() const {
    return backend_->in != nullptr;
}

bool MidiInput::scan(std::vector<std::string>& names, std::string&) {
    Backend& b = *backend_;
    b.ids.clear();
    names.clear();
    const UINT count = midiInGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        std::string name = device_name(id);
        if (name.empty()) continue;  // gone, or a broken driver
        names.push_back(std::move(name));
        b.ids.push_back(id);
    }
    return true;
}

bool MidiInput::open_scanned(std::size_t index, std::string& error) {
    Backend& b = *backend_;
    if (index >= b.ids.size()) {
        error = "the port is gone";
        return false;
    }
    {
        std::lock_guard lock(b.mutex);
        b.receive = &receive_;
    }
    HMIDIIN in = nullptr;
    MMRESULT result = midiInOpen(&in, b.ids[index], reinterpret_cast<DWORD_PTR>(&Backend::on_message),
                                 reinterpret_cast<DWORD_PTR>(&b), CALLBACK_FUNCTION);
    if (result == MMSYSERR_NOERROR) {
        result = midiInStart(in);
        if (result != MMSYSERR_NOERROR) midiInClose(in);
    }
    if (result != MMSYSERR_NOERROR) {
        std::lock_guard lock(b.mutex);
        b.receive = nullptr;
        error = midi_error_text(result);
        return false;
    }
    b.in = in;
    b.ids.clear();
    return true;
}

bool MidiInput::close() {
    Backend& b = *backend_;
    {
        std::lock_guard lock(b.mutex);
        b.receive = nullptr;
    }
    if (!b.in) return false;
    midiInStop(b.in);
    midiInReset(b.in);
    midiInClose(b.in);
    b.in = nullptr;
    receive_ = nullptr;
    name_.clear();
    return true;
}

}  // namespace zirvon::midi
