// The functions the page's JavaScript calls, and the one it provides: plain
// C, so that the module needs no glue code and loads the same on the page
// and in its audio thread (web/src/core.js, web/src/worklet.js).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "web/wasm/calls.h"
#include "web/wasm/engine.h"
#include "web/wasm/key_entry.h"
#include "web/wasm/midi_messages.h"
#include "web/wasm/wire.h"

// The page takes the bytes a call makes, piece by piece.
extern "C" __attribute__((import_module("zirvon"), import_name("data"))) void zirvon_data(
    const std::uint8_t* bytes, std::size_t size);

namespace {

/// A copy of `bytes` in memory the page frees with zv_free(), behind its
/// length in four bytes.
std::uint8_t* framed(const std::vector<std::uint8_t>& bytes) {
    auto* out = static_cast<std::uint8_t*>(std::malloc(4 + bytes.size()));
    if (out == nullptr) return nullptr;
    const auto n = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(n >> (8 * i));
    if (!bytes.empty()) std::memcpy(out + 4, bytes.data(), bytes.size());
    return out;
}

}  // namespace

extern "C" {

__attribute__((export_name("zv_alloc"))) void* zv_alloc(std::size_t size) { return std::malloc(size); }

__attribute__((export_name("zv_free"))) void zv_free(void* p) { std::free(p); }

/// Runs a call (web/wasm/calls.h) on the request at `request`; returns its
/// reply framed, or null for a request the core cannot read.
__attribute__((export_name("zv_call"))) std::uint8_t* zv_call(int call, const std::uint8_t* request,
                                                               std::size_t size) {
    zirvon::web::WireReader in({request, size});
    zirvon::web::WireWriter out;
    const bool ok = zirvon::web::run_call(call, in, out, [](std::span<const std::uint8_t> piece) {
        zirvon_data(piece.data(), piece.size());
    });
    return ok ? framed(out.data()) : nullptr;
}

/// Decodes a recording: `channels` channels of `frames` samples one after
/// another at `samples`, at `rate`, from the file `name` (`name_size`
/// bytes). Returns the reply framed (web/wasm/calls.h, read_recording).
__attribute__((export_name("zv_read_recording"))) std::uint8_t* zv_read_recording(
    const float* samples, std::size_t frames, unsigned channels, unsigned rate, const char* name,
    std::size_t name_size) {
    zirvon::web::WireWriter out;
    zirvon::web::read_recording(samples, frames, channels, rate, {name, name_size}, out);
    return framed(out.data());
}

/// The messages of ticks `start` to `end` of the song in `image` for a MIDI
/// output (web/wasm/midi_messages.h), framed; null when the image cannot be read.
__attribute__((export_name("zv_passage_messages"))) std::uint8_t* zv_passage_messages(
    const std::uint8_t* image, std::size_t size, double start, double end) {
    zirvon::web::WireWriter out;
    const zirvon::play::Passage passage{static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end)};
    return zirvon::web::write_passage_messages({image, size}, passage, out) ? framed(out.data()) : nullptr;
}

/// The entry of the `count` keys at `keys` (MIDI note numbers) at byte
/// `offset` of the source at `source` (web/wasm/key_entry.h), framed.
__attribute__((export_name("zv_key_entry"))) std::uint8_t* zv_key_entry(const char* source, std::size_t size,
                                                                        std::size_t offset, const int* keys,
                                                                        std::size_t count, int number, int dots) {
    zirvon::web::WireWriter out;
    zirvon::web::write_key_entry({source, size}, offset, {keys, count}, number, dots, out);
    return framed(out.data());
}

__attribute__((export_name("zv_engine_new"))) zirvon::web::Engine* zv_engine_new(unsigned rate) {
    return new (std::nothrow) zirvon::web::Engine(rate);
}

__attribute__((export_name("zv_engine_play"))) int zv_engine_play(zirvon::web::Engine* engine,
                                                                    const std::uint8_t* image,
                                                                    std::size_t size, double start,
                                                                    double end, unsigned audible,
                                                                    int loop) {
    const zirvon::play::Passage passage{static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end),
                                        static_cast<zirvon::play::TrackMask>(audible)};
    return engine->play({image, size}, passage, loop != 0) ? 1 : 0;
}

__attribute__((export_name("zv_engine_set_audible"))) void zv_engine_set_audible(
    zirvon::web::Engine* engine, unsigned audible) {
    engine->set_audible(static_cast<zirvon::play::TrackMask>(audible));
}

__attribute__((export_name("zv_engine_stop"))) void zv_engine_stop(zirvon::web::Engine* engine) {
    engine->stop();
}

__attribute__((export_name("zv_engine_render"))) void zv_engine_render(zirvon::web::Engine* engine,
                                                                        float* left, float* right,
                                                                        int frames) {
    engine->render(left, right, frames);
}

__attribute__((export_name("zv_engine_set_loop"))) void zv_engine_set_loop(zirvon::web::Engine* engine,
                                                                            int loop) {
    engine->set_loop(loop != 0);
}

/// Sounds a note-on or note-off of a key held, at once, beside what plays.
__attribute__((export_name("zv_engine_key"))) void zv_engine_key(zirvon::web::Engine* engine, unsigned status,
                                                                  unsigned note) {
    engine->key({static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(note), zirvon::kVelocity});
}

__attribute__((export_name("zv_engine_ticks_run"))) double zv_engine_ticks_run(zirvon::web::Engine* engine) {
    return static_cast<double>(engine->ticks_run());
}

__attribute__((export_name("zv_engine_done"))) int zv_engine_done(zirvon::web::Engine* engine) {
    return engine->done() ? 1 : 0;
}

}  // extern "C"
