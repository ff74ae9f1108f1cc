// The core in WebAssembly on the page: one instance of the module, called
// through zv_call (web/wasm/exports.cpp) with a request, giving back the
// reply and the bytes the call made.

import { systemImports } from './system_imports.js';
import { WireReader } from './wire.js';

export class Core {
    /** Takes the compiled module; ready once start() has resolved. */
    constructor(module) {
        this.module = module;
        this.exports = null;
        this.pieces = [];
    }

    async start() {
        const imports = {
            ...systemImports(),
            zirvon: {
                data: (at, size) => this.pieces.push(new Uint8Array(this.exports.memory.buffer, at, size).slice()),
            },
        };
        const instance = await WebAssembly.instantiate(this.module, imports);
        this.imports = imports;
        this.attach(instance);
    }

    attach(instance) {
        this.exports = instance.exports;
        this.exports._initialize();
    }

    /** Runs call number `call` on the request bytes: {reply: WireReader,
     * data: Uint8Array}. */
    run(call, request) {
        this.pieces = [];
        const reply = this.framed((e) => {
            const at = this.copied(request);
            const framed = e.zv_call(call, at, request.length);
            e.zv_free(at);
            return framed;
        });
        if (!reply) throw new Error('the core could not read the request');
        const data = joined(this.pieces);
        this.pieces = [];
        return { reply, data };
    }

    /** What the passage `start` to `end` of the song in `image` sends to a
     * MIDI output, as the core writes it (web/wasm/midi_messages.h): a
     * WireReader, or null when the image cannot be read. */
    passageMessages(image, start, end) {
        return this.framed((e) => {
            const at = this.copied(image);
            const framed = e.zv_passage_messages(at, image.length, start, end);
            e.zv_free(at);
            return framed;
        });
    }

    /** The entry of MIDI keys `keys` at byte `offset` of `source` (UTF-8
     * bytes), `number` long with `dots` (web/wasm/key_entry.h): a WireReader. */
    keyEntry(source, offset, keys, number, dots) {
        return this.framed((e) => {
            const at = this.copied(source);
            const keysAt = this.copied(Int32Array.from(keys));
            const framed = e.zv_key_entry(at, source.length, offset, keysAt, keys.length, number, dots);
            e.zv_free(keysAt);
            e.zv_free(at);
            return framed;
        });
    }

    /** Decodes a recording: `channels` (Float32Arrays of one length) at
     * `rate`, from the file `name`; the reply as a WireReader. */
    readRecording(channels, rate, name) {
        const frames = channels[0]?.length ?? 0;
        const nameBytes = new TextEncoder().encode(name);
        return this.framed((e) => {
            const at = e.zv_alloc(Math.max(frames * channels.length * 4, 4));
            if (!at) throw new Error('the recording is too long for the page');
            channels.forEach((samples, c) => new Float32Array(e.memory.buffer, at + c * frames * 4, frames).set(samples));
            const nameAt = this.copied(nameBytes);
            const framed = e.zv_read_recording(at, frames, channels.length, rate, nameAt, nameBytes.length);
            e.zv_free(nameAt);
            e.zv_free(at);
            return framed;
        });
    }

    /** A copy of `array` (a typed array) in the module's memory: where it is,
     * for the caller to free. */
    copied(array) {
        const e = this.exports;
        const at = e.zv_alloc(Math.max(array.byteLength, 1));
        new Uint8Array(e.memory.buffer, at, array.byteLength).set(new Uint8Array(array.buffer, array.byteOffset, array.byteLength));
        return at;
    }

    /** The reply that `call(exports)` frames (its size, then its bytes), read
     * and freed: a WireReader, or null when it gives none. A call that traps
     * (the module ran out of memory) throws, and the next call gets a fresh
     * instance. */
    framed(call) {
        let reply = 0;
        try {
            reply = call(this.exports);
        } catch (error) {
            this.attach(new WebAssembly.Instance(this.module, this.imports));
            throw error;
        }
        if (!reply) return null;
        const e = this.exports;
        const size = new DataView(e.memory.buffer).getUint32(reply, true);
        const wire = new Uint8Array(e.memory.buffer, reply + 4, size).slice();
        e.zv_free(reply);
        return new WireReader(wire);
    }
}

function joined(pieces) {
    if (pieces.length === 1) return pieces[0];
    const out = new Uint8Array(pieces.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const piece of pieces) {
        out.set(piece, at);
        at += piece.length;
    }
    return out;
}
