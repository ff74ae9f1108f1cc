#include <signal.h>

#include <atomic>

#include "system/interrupt.h"

namespace zirvon {
namespace {

// Written by the signal handler, which may touch nothing else.
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

struct sigaction g_old_int;
struct sigaction g_old_term;

extern "C" void on_signal(int) { g_requested.store(true); }

}  // namespace

InterruptWatch::InterruptWatch() {
    g_requested.store(false);
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &g_old_int);
    sigaction(SIGTERM, &action, &g_old_term);
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &g_old_int, nullptr);
    sigaction(SIGTERM, &g_old_term, nullptr);
}

bool InterruptWatch::requested() const { return g_requested.load(); }

bool interrupt_requested() { return g_requested.load(); }

}  // namespace zirvon
