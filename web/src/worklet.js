// The player on the browser's audio thread: the core's engine
// (web/wasm/engine.h) renders every block of frames the audio device asks
// for, running the song's ticks at their exact frames. The page sends
// play, stop, the loop and the tracks to hear; this answers with the frame
// on which a passage started, the first frame that sounded, the tick on which
// it ended, and the first block of silence after a stop.

import { systemImports } from './system_imports.js';

class ZirvonPlayer extends AudioWorkletProcessor {
    constructor(options) {
        super();
        const instance = new WebAssembly.Instance(options.processorOptions.module, {
            ...systemImports(),
            zirvon: { data: () => {} },
        });
        this.core = instance.exports;
        this.core._initialize();
        this.engine = this.core.zv_engine_new(sampleRate);
        this.capacity = 0;
        this.serial = 0;
        this.starting = false;
        this.listening = false;
        this.playing = false;
        this.stopping = false;
        this.port.onmessage = (event) => this.command(event.data);
    }

    command(message) {
        const core = this.core;
        if (message.type === 'play') {
            const at = core.zv_alloc(message.image.length);
            new Uint8Array(core.memory.buffer, at, message.image.length).set(message.image);
            core.zv_engine_play(this.engine, at, message.image.length, message.start, message.end,
                message.audible, message.loop ? 1 : 0);
            core.zv_free(at);
            this.serial = message.serial;
            this.starting = true;
            this.playing = true;
            this.stopping = false;
        } else if (message.type === 'stop') {
            core.zv_engine_stop(this.engine);
            this.starting = this.listening = this.playing = false;
            this.stopping = true;
            this.stoppedOn = currentFrame;
        } else if (message.type === 'audible') {
            core.zv_engine_set_audible(this.engine, message.audible);
        } else if (message.type === 'key') {
            core.zv_engine_key(this.engine, message.status, message.note);
        } else if (message.type === 'loop') {
            core.zv_engine_set_loop(this.engine, message.loop ? 1 : 0);
        }
    }

    /** Room in the core's memory for `frames` frames of each channel. */
    reserve(frames) {
        if (frames <= this.capacity) return;
        if (this.capacity) {
            this.core.zv_free(this.left);
            this.core.zv_free(this.right);
        }
        this.left = this.core.zv_alloc(4 * frames);
        this.right = this.core.zv_alloc(4 * frames);
        this.capacity = frames;
    }

    process(inputs, outputs) {
        const out = outputs[0];
        const frames = out[0].length;
        this.reserve(frames);
        if (this.starting) {
            // Tick 0 runs on the first frame of this block.
            this.port.postMessage({ type: 'started', serial: this.serial, frame: currentFrame });
            this.starting = false;
            this.listening = true;
        }
        this.core.zv_engine_render(this.engine, this.left, this.right, frames);
        const memory = this.core.memory.buffer;
        const left = new Float32Array(memory, this.left, frames);
        const right = new Float32Array(memory, this.right, frames);
        out[0].set(left);
        if (out.length > 1) out[1].set(right);
        if (this.listening) {
            const first = left.findIndex((sample) => sample !== 0);
            if (first >= 0) {
                this.port.postMessage({ type: 'sounded', serial: this.serial, frame: currentFrame + first });
                this.listening = false;
            }
        }
        if (this.stopping && left.every((sample) => sample === 0) && right.every((sample) => sample === 0)) {
            this.port.postMessage({ type: 'silenced', serial: this.serial, frame: currentFrame, after: currentFrame - this.stoppedOn });
            this.stopping = false;
        }
        if (this.playing && this.core.zv_engine_done(this.engine)) {
            // The tick that closed the passage, counted from its start.
            const ticks = this.core.zv_engine_ticks_run(this.engine) - 1;
            this.port.postMessage({ type: 'ended', serial: this.serial, ticks });
            this.playing = false;
        }
        return true;
    }
}

registerProcessor('zirvon-player', ZirvonPlayer);
