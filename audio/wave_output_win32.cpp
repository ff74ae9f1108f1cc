// A thread of our own keeps four buffers of 5 ms queued: winmm signals an
// event as each one has played, and the thread renders it again and hands
// it back. The audio clock is the count of frames handed over. (The wave
// output mixes in periods of 10 ms of its own; with less than two of them
// queued it runs dry, so this is as little as it takes.)
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "audio/wave_output.h"
#include "system/thread_priority.h"

namespace zirvon::audio {
namespace {

constexpr unsigned kRate = 44100;
constexpr std::size_t kBuffers = 4;
/// 5 ms a buffer: 20 ms queued in all.
constexpr unsigned kBufferFrames = kRate / 200;

std::string wave_error_text(MMRESULT result) {
    char text[MAXERRORLENGTH] = "";
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || text[0] == '\0') {
        return "audio error " + std::to_string(result);
    }
    return text;
}

}  // namespace

struct WaveOutput::Device {
    /// The render thread: hands every buffer that has played back to winmm,
    /// rendered anew, until `running` goes false.
    void run() {
        raise_thread_priority();
        while (running.load()) {
            for (WAVEHDR& header : headers) {
                if ((header.dwFlags & WHDR_INQUEUE) != 0) continue;
                renderer->render(reinterpret_cast<std::int16_t*>(header.lpData), kBufferFrames);
                if (waveOutWrite(out, &header, sizeof header) != MMSYSERR_NOERROR) {
                    running.store(false);  // the device is gone; lost() will tell
                    return;
                }
            }
            WaitForSingleObject(event, 50);
        }
    }

    HWAVEOUT out = nullptr;
    HANDLE event = nullptr;
    std::array<WAVEHDR, kBuffers> headers{};
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(kBuffers * kBufferFrames * 2);
    SoundRenderer* renderer = nullptr;
    std::atomic<bool> running = false;
    std::thread thread;
};

WaveOutput::WaveOutput() : device_(std::make_unique<Device>()) {}

WaveOutput::~WaveOutput() {
    close();
}

bool WaveOutput::open(std::string& error) {
    Device& d = *device_;
    if (waveOutGetNumDevs() == 0) return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kRate * 4;
    d.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const MMRESULT result = waveOutOpen(&d.out, WAVE_MAPPER, &format,
                                        reinterpret_cast<DWORD_PTR>(d.event), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        d.out = nullptr;
        CloseHandle(d.event);
        d.event = nullptr;
        if (result != MMSYSERR_NODRIVER && result != MMSYSERR_BADDEVICEID) {
            error = "cannot open the audio output: " + wave_error_text(result);
        }
        return false;
    }
    WAVEOUTCAPSA caps{};
    name_ = waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR
                ? std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname))
                : "the wave mapper";
    for (std::size_t i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = d.headers[i];
        header.lpData = reinterpret_cast<LPSTR>(&d.samples[i * kBufferFrames * 2]);
        header.dwBufferLength = kBufferFrames * 4;
        waveOutPrepareHeader(d.out, &header, sizeof header);
    }
    return true;
}

unsigned WaveOutput::rate() const {
    return kRate;
}

bool WaveOutput::start(SoundRenderer& renderer, std::string&) {
    Device& d = *device_;
    d.renderer = &renderer;
    d.running.store(true);
    d.thread = std::thread([&d] { d.run(); });
    return true;
}

void WaveOutput::close() {
    Device& d = *device_;
    if (!d.out) return;
    d.running.store(false);
    SetEvent(d.event);
    if (d.thread.joinable()) d.thread.join();
    waveOutReset(d.out);
    for (WAVEHDR& header : d.headers) waveOutUnprepareHeader(d.out, &header, sizeof header);
    waveOutClose(d.out);
    CloseHandle(d.event);
    d.out = nullptr;
    d.event = nullptr;
}

std::chrono::milliseconds WaveOutput::latency() const {
    return std::chrono::milliseconds(1 + kBuffers * kBufferFrames * 1000 / kRate);
}

}  // namespace zirvon::audio
