// What the core's module imports besides the page's data function: the C
// library's exit, which only a failed allocation reaches, and a note on
// memory growth that needs no answer. Its own file, as the audio thread
// loads it too and has no TextEncoder for what the rest of core.js needs.

export function systemImports() {
    return {
        env: { emscripten_notify_memory_growth: () => {} },
        wasi_snapshot_preview1: {
            proc_exit: (status) => {
                throw new Error(`the core stopped (status ${status})`);
            },
        },
    };
}
