// MidiPort on the Windows multimedia API (winmm).
//
// The ports, as /ports lists them, are the MIDI mapper first (the output the
// user picked in the system's settings, and so the default one) and then
// every MIDI output device in the system's order. A system without any MIDI
// output device has no mapper either, and so no ports.
//
// midiOutShortMsg hands each message to the driver before it returns, so
// closing loses nothing; midiOutReset before midiOutClose ends any note a
// driver still holds. A send that fails means the device went away (it was
// unplugged, its driver stopped): the port counts as lost from then on.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <atomic>

#include "midi/midi_port.h"

namespace zirvon::midi {
namespace {

std::string midi_error_text(MMRESULT result) {
    char text[MAXERRORLENGTH] = "";
    if (midiOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || text[0] == '\0') {
        return "MIDI error " + std::to_string(result);
    }
    return text;
}

/// The name a device reports, or "" when it reports none.
std::string device_name(UINT_PTR id) {
    MIDIOUTCAPSA caps{};
    if (midiOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return {};
    return std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
}

}  // namespace

struct MidiPort::Backend {
    std::vector<UINT_PTR> ids;  // device id of each scanned port
    HMIDIOUT out = nullptr;
    std::atomic<bool> send_failed = false;  // the device went (unplugged, driver gone)
};

std::string MidiPort::services() {
    return "winmm";
}

MidiPort::MidiPort() : backend_(std::make_unique<Backend>()) {}

MidiPort::~MidiPort() {
    close();
}

bool MidiPort::is_open() const {
    return backend_->out != nullptr;
}

bool MidiPort::scan(std::vector<std::string>& names, std::string&) {
    Backend& b = *backend_;
    b.ids.clear();
    names.clear();
    const UINT count = midiOutGetNumDevs();
    if (count == 0) return true;  // the caller says what to do
    const std::string mapper = device_name(MIDI_MAPPER);
    if (!mapper.empty()) {
        names.push_back(mapper);
        b.ids.push_back(MIDI_MAPPER);
    }
    for (UINT id = 0; id < count; ++id) {
        std::string name = device_name(id);
        if (name.empty()) continue;  // gone, or a broken driver
        names.push_back(std::move(name));
        b.ids.push_back(id);
    }
    return true;
}

bool MidiPort::open_scanned(std::size_t index, std::string& error) {
    Backend& b = *backend_;
    if (index >= b.ids.size()) {
        error = "the port is gone";
        return false;
    }
    HMIDIOUT out = nullptr;
    const MMRESULT result = midiOutOpen(&out, static_cast<UINT>(b.ids[index]), 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        error = midi_error_text(result);
        return false;
    }
    b.out = out;
    b.send_failed = false;
    b.ids.clear();
    return true;
}

bool MidiPort::lost() const {
    return backend_->send_failed.load(std::memory_order_acquire);
}

bool MidiPort::send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    Backend& b = *backend_;
    if (!b.out || lost()) return false;
    const DWORD message = status | (DWORD{data1} << 8) | (DWORD{data2} << 16);
    if (midiOutShortMsg(b.out, message) == MMSYSERR_NOERROR) return true;
    b.send_failed.store(true, std::memory_order_release);
    return false;
}

bool MidiPort::close() {
    Backend& b = *backend_;
    if (!b.out) return false;
    midiOutReset(b.out);
    midiOutClose(b.out);
    b.out = nullptr;
    name_.clear();
    return true;
}

}  // namespace zirvon::midi
