// The Cassette panel: the song as the sound the machine's tape input loads,
// played through the speakers (a phone's headphone output into the machine)
// or downloaded as the command line's /cassette writes it, and a recording
// of a cassette opened as a source, decoded by the core.

import { download } from './files.js';
import { showSummary } from './messages.js';

/** `name` with its extension, if any, replaced: tape.flac gives tape.MZT. */
function renamed(name, extension) {
    const dot = name.lastIndexOf('.');
    return (dot > 0 && dot > name.lastIndexOf('/') ? name.slice(0, dot) : name) + extension;
}

/** The samples of a mono PCM WAV file of 8 or 16 bits, and its rate. */
function wavSamples(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const rate = view.getUint32(24, true);
    const bits = view.getUint16(34, true);
    let at = 12;
    while (at + 8 <= bytes.length && String.fromCharCode(...bytes.subarray(at, at + 4)) !== 'data') {
        at += 8 + view.getUint32(at + 4, true);
    }
    const size = Math.min(view.getUint32(at + 4, true), bytes.length - at - 8);
    const start = at + 8;
    const samples = new Float32Array(bits === 8 ? size : size >> 1);
    for (let i = 0; i < samples.length; i++) {
        samples[i] = bits === 8 ? (bytes[start + i] - 128) / 128 : view.getInt16(start + 2 * i, true) / 32768;
    }
    return { samples, rate };
}

const minutes = (seconds) => `${Math.floor(seconds / 60)}:${String(Math.floor(seconds % 60)).padStart(2, '0')}`;

export class Cassette {
    constructor({ page, calls, byId }) {
        this.page = page;
        this.calls = calls;
        this.el = {
            panel: byId('cassette-panel'), fast: byId('cassette-fast'), inverted: byId('cassette-inverted'),
            rate: byId('cassette-rate'), bits: byId('cassette-bits'), status: byId('cassette-status'),
            listing: byId('cassette-listing'), input: byId('recording-input'),
        };
        this.context = null;
        this.sending = null; // the source node while the sound is sent
        this.timer = 0;
    }

    toggle() {
        this.el.panel.hidden = !this.el.panel.hidden;
    }

    /** The choices as /cassette= takes them: "fast,inverted,44100,16bit". */
    choices() {
        return [this.el.fast.checked ? 'fast' : 'standard', ...(this.el.inverted.checked ? ['inverted'] : []),
            this.el.rate.value, `${this.el.bits.value}bit`].join(',');
    }

    make() {
        const result = this.calls.cassette(this.page.source(), this.page.options({ cassette: this.choices() }));
        if (!result.ok) showSummary(this.el.status, result.message, true);
        return result.ok ? result : null;
    }

    save() {
        const result = this.make();
        if (!result) return;
        download(renamed(this.page.name, '.TAPE.WAV'), result.data);
        showSummary(this.el.status, result.written);
    }

    /** Sends the sound to the speakers, saying which part goes out and the
     * time left, until it ends or Stop. */
    async play() {
        this.stop();
        const result = this.make();
        if (!result) return;
        const { samples, rate } = wavSamples(result.data);
        try {
            this.context ??= new AudioContext({ sampleRate: rate });
        } catch {
            this.context = new AudioContext();
        }
        const buffer = this.context.createBuffer(1, samples.length, rate);
        buffer.copyToChannel(samples, 0);
        const node = this.context.createBufferSource();
        node.buffer = buffer;
        node.connect(this.context.destination);
        await this.context.resume();
        const started = this.context.currentTime + 0.25; // an output just opened loses its first moments
        node.start(started);
        this.sending = node;
        const total = samples.length / rate;
        const show = () => {
            const at = Math.max(0, this.context.currentTime - started);
            const frame = at * rate;
            const part = result.sections.find((s) => frame >= s.first && frame < s.first + s.frames)?.what ?? 'end';
            showSummary(this.el.status, `Sending: ${part}, ${minutes(Math.ceil(Math.max(0, total - at)))} left`);
        };
        show();
        this.timer = setInterval(show, 250);
        node.onended = () => {
            if (this.sending !== node) return;
            this.finish(result.sent);
        };
    }

    stop() {
        if (!this.sending) return;
        const node = this.sending;
        this.sending = null;
        node.stop();
        this.finish('stopped');
    }

    finish(text) {
        clearInterval(this.timer);
        this.sending = null;
        showSummary(this.el.status, text);
    }

    /** Decodes a recording (any audio file the browser reads) and opens its
     * first music image as a source; the files found are listed. */
    async openRecording(name, bytes) {
        showSummary(this.el.status, `reading ${name}…`);
        let audio;
        try {
            // At 48 kHz the browser resamples the least of the common rates.
            const context = new OfflineAudioContext(1, 1, 48000);
            audio = await context.decodeAudioData(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength));
        } catch {
            showSummary(this.el.status, `cannot read the recording '${name}': the browser reads no sound in it`, true);
            return;
        }
        const channels = [];
        for (let c = 0; c < audio.numberOfChannels; c++) channels.push(audio.getChannelData(c));
        let found;
        try {
            found = this.calls.readRecording(channels, audio.sampleRate, name);
        } catch (error) {
            showSummary(this.el.status, `cannot decode '${name}': ${error.message}`, true);
            return;
        }
        this.el.listing.textContent = found.lines.join('\n');
        this.el.listing.hidden = found.lines.length === 0;
        if (!found.ok) {
            showSummary(this.el.status, found.error, true);
            return;
        }
        if (found.images.length === 0) {
            showSummary(this.el.status, found.noMusic, true);
            return;
        }
        const imageName = renamed(name, found.images.length === 1 ? '.MZT' : '-1.MZT');
        this.page.open(imageName, found.images[0].bytes);
        showSummary(this.el.status, `${name}: file ${found.images[0].file} opened as ${imageName}`);
    }
}
