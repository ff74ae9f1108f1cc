// Windows twin of the interrupt watch: Ctrl+C and Ctrl+Break at the console,
// and the console window being closed, through SetConsoleCtrlHandler. The
// handler runs on a thread of its own that the system starts for it.
#include <windows.h>

#include <atomic>

#include "system/interrupt.h"

namespace zirvon {
namespace {

std::atomic<bool> g_requested{false};
/// Set when the watch ends, that is when the preview has silenced and closed
/// its port. Made once and kept for the life of the process, as a handler
/// may still be waiting on it.
HANDLE g_watch_over = nullptr;

/// How long a closing console window waits for the preview to clean up;
/// Windows ends the process after the handler returns, or after 5 s.
constexpr DWORD kCloseGrace = 3000;

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            g_requested.store(true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
            g_requested.store(true);
            WaitForSingleObject(g_watch_over, kCloseGrace);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

InterruptWatch::InterruptWatch() {
    g_requested.store(false);
    if (!g_watch_over) g_watch_over = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(g_watch_over);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

InterruptWatch::~InterruptWatch() {
    SetEvent(g_watch_over);
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

bool InterruptWatch::requested() const {
    return g_requested.load();
}

bool interrupt_requested() { return g_requested.load(); }

}  // namespace zirvon
