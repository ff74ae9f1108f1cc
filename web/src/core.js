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
     * data: Uint8Array}. A call that traps (the module ran out of memory)
     * throws, and the next call gets a fresh instance. */
    run(call, request) {
        const e = this.exports;
        this.pieces = [];
        let reply = 0;
        try {
            const at = e.zv_alloc(Math.max(request.length, 1));
            new Uint8Array(e.memory.buffer, at, request.length).set(request);
            reply = e.zv_call(call, at, request.length);
            e.zv_free(at);
        } catch (error) {
            this.attach(new WebAssembly.Instance(this.module, this.imports));
            throw error;
        }
        if (!reply) throw new Error('the core could not read the request');
        const size = new DataView(e.memory.buffer).getUint32(reply, true);
        const wire = new Uint8Array(e.memory.buffer, reply + 4, size).slice();
        e.zv_free(reply);
        const data = joined(this.pieces);
        this.pieces = [];
        return { reply: new WireReader(wire), data };
    }

    /** What the passage `start` to `end` of the song in `image` sends to a
     * MIDI output, as the core writes it (web/wasm/midi_messages.h): a
     * WireReader, or null when the image cannot be read. */
    passageMessages(image, start, end) {
        const e = this.exports;
        const at = e.zv_alloc(Math.max(image.length, 1));
        new Uint8Array(e.memory.buffer, at, image.length).set(image);
        const reply = e.zv_passage_messages(at, image.length, start, end);
        e.zv_free(at);
        if (!reply) return null;
        const size = new DataView(e.memory.buffer).getUint32(reply, true);
        const wire = new Uint8Array(e.memory.buffer, reply + 4, size).slice();
        e.zv_free(reply);
        return new WireReader(wire);
    }

    /** The entry of MIDI keys `keys` at byte `offset` of `source` (UTF-8
     * bytes), `number` long with `dots` (web/wasm/key_entry.h): a WireReader. */
    keyEntry(source, offset, keys, number, dots) {
        const e = this.exports;
        const at = e.zv_alloc(Math.max(source.length, 1));
        new Uint8Array(e.memory.buffer, at, source.length).set(source);
        const keysAt = e.zv_alloc(Math.max(keys.length, 1) * 4);
        new Int32Array(e.memory.buffer, keysAt, keys.length).set(keys);
        const reply = e.zv_key_entry(at, source.length, offset, keysAt, keys.length, number, dots);
        e.zv_free(keysAt);
        e.zv_free(at);
        const size = new DataView(e.memory.buffer).getUint32(reply, true);
        const wire = new Uint8Array(e.memory.buffer, reply + 4, size).slice();
        e.zv_free(reply);
        return new WireReader(wire);
    }

    /** Decodes a recording: `channels` (Float32Arrays of one length) at
     * `rate`, from the file `name`; the reply as a WireReader. */
    readRecording(channels, rate, name) {
        const e = this.exports;
        const frames = channels[0]?.length ?? 0;
        const nameBytes = new TextEncoder().encode(name);
        let reply = 0;
        try {
            const at = e.zv_alloc(Math.max(frames * channels.length * 4, 4));
            if (!at) throw new Error('the recording is too long for the page');
            channels.forEach((samples, c) => new Float32Array(e.memory.buffer, at + c * frames * 4, frames).set(samples));
            const nameAt = e.zv_alloc(Math.max(nameBytes.length, 1));
            new Uint8Array(e.memory.buffer, nameAt, nameBytes.length).set(nameBytes);
            reply = e.zv_read_recording(at, frames, channels.length, rate, nameAt, nameBytes.length);
            e.zv_free(nameAt);
            e.zv_free(at);
        } catch (error) {
            this.attach(new WebAssembly.Instance(this.module, this.imports));
            throw error;
        }
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
