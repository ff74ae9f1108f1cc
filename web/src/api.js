// What the page asks of the core, in the command line's terms: compile,
// list, the MIDI, WAV and SVG files, an image written back, and what the
// player needs. Each call returns the reply's ok, message, summary and
// problems, and the bytes it made.

import { WireWriter } from './wire.js';

const CALLS = { compile: 0, list: 1, midi: 2, wav: 3, svg: 4, image: 5, play: 6, roll: 7, cassette: 8, import: 9 };
const SEVERITIES = ['note', 'warning', 'error'];
const FILE_EXTENSIONS = { midi: '.MID', wav: '.WAV', svg: '.SVG', cassette: '.TAPE.WAV' };

/** The name of a file that a run makes from the source `name`, as the
 * command line names it: song.mml gives song.MZT and song.MID. */
export function outputName(name, extension) {
    const base = name.length >= 4 && name[name.length - 4] === '.' ? name.slice(0, -4) : name;
    return base + extension;
}

/** The source name a call uses when it is given none. */
export function defaultName(source) {
    return source instanceof Uint8Array ? 'song.MZT' : 'song.MML';
}

function request(source, options, output) {
    const w = new WireWriter();
    const image = source instanceof Uint8Array;
    if (!image && typeof source !== 'string') throw new TypeError('the source is MML text (a string) or a tape image (a Uint8Array)');
    w.u8(image ? 1 : 0);
    w.text(source);
    w.text(options.name ?? defaultName(source));
    w.optional(options.tapeName);
    w.optional(options.from);
    w.optional(options.to);
    w.optional(options.solo);
    w.optional(options.mute);
    w.text(output ?? '');
    w.optional(options.cassette);
    return w.finish();
}

function readReply(r) {
    const ok = r.u8() === 1;
    const message = r.text();
    const summary = r.text();
    const diagnostics = [];
    for (let n = r.u32(); n > 0; n--) {
        const line = r.i32();
        const column = r.i32();
        const end = r.i32();
        const severity = SEVERITIES[r.u8()];
        const code = r.text();
        diagnostics.push({ line, column, end, severity, code, message: r.text() });
    }
    return { ok, message, summary, diagnostics };
}

/** The calls on `core` (core.js), for the page. */
export class Calls {
    constructor(core) {
        this.core = core;
    }

    run(call, source, options = {}, output = undefined) {
        const { reply, data } = this.core.run(CALLS[call], request(source, options, output));
        return { ...readReply(reply), data, rest: reply };
    }

    compile(text, options = {}) {
        const name = options.name ?? defaultName(text);
        return this.run('compile', text, options, outputName(name, '.MZT'));
    }

    /** The listing; for an image also its tape name. */
    list(source, options = {}) {
        const result = this.run('list', source, options);
        if (result.ok && source instanceof Uint8Array) result.tapeName = result.rest.text();
        return result;
    }

    file(kind, source, options = {}) {
        const name = options.name ?? defaultName(source);
        return this.run(kind, source, options, outputName(name, FILE_EXTENSIONS[kind]));
    }

    /** An image written back with a new tape name, or with its own. */
    image(bytes, options = {}) {
        return this.run('image', bytes, options);
    }

    /** What the player needs: the passage the options pick, the song's
     * blocks and the image to load (the call's data). */
    play(source, options = {}) {
        const result = this.run('play', source, options);
        if (!result.ok) return result;
        const r = result.rest;
        const passage = { start: r.u32(), end: r.u32(), audible: r.u32() };
        const blocks = [];
        for (let n = r.u32(); n > 0; n--) blocks.push(r.u32());
        return { ...result, passage, blocks, image: result.data };
    }

    /** What a MIDI output plays of `plan` (what play() gives): {length,
     * ticks, bytes}, the passage's length and its messages, message i on
     * passage tick ticks[i] with bytes[3i] to bytes[3i + 2], every track's;
     * null when the image cannot be read. */
    messages(plan) {
        const r = this.core.passageMessages(plan.image, plan.passage.start, plan.passage.end);
        if (!r) return null;
        const length = r.u32();
        const count = r.u32();
        const ticks = new Uint32Array(count);
        const bytes = new Uint8Array(3 * count);
        for (let i = 0; i < count; i++) {
            ticks[i] = r.u32();
            bytes[3 * i] = r.u8();
            bytes[3 * i + 1] = r.u8();
            bytes[3 * i + 2] = r.u8();
        }
        return { length, ticks, bytes };
    }

    /** The MML that MIDI keys `keys` pressed together (none: a rest) put
     * at byte `offset` of the UTF-8 `source`, `length` long ("8", "4.";
     * empty: the default length in force): {error, offset, text, track,
     * pitch, note}, `offset` the byte where `text` goes. */
    keyEntry(source, offset, keys, length = '') {
        const number = Number.parseInt(length, 10) || 0;
        const dots = (length.match(/\./g) ?? []).length;
        const r = this.core.keyEntry(source, offset, keys, number, dots);
        return { error: r.text(), offset: r.u32(), text: r.text(), track: r.i32(), pitch: r.i32(), note: r.text() };
    }

    /** The recording for the machine's tape input, as /cassette writes it
     * with the choices `options.cassette` ("fast,inverted"): its bytes, the
     * lines the program says once it is written and once it is sent, and its
     * parts ({what, first, frames}). */
    cassette(source, options = {}) {
        const name = options.name ?? defaultName(source);
        const result = this.run('cassette', source, options, outputName(name, '.TAPE.WAV'));
        if (!result.ok) return result;
        const r = result.rest;
        const written = r.text();
        const sent = r.text();
        const sections = [];
        for (let n = r.u32(); n > 0; n--) sections.push({ what: r.text(), first: r.u32(), frames: r.u32() });
        return { ...result, written, sent, sections };
    }

    /** Decodes a recording, `channels` of Float32Array samples at `rate`,
     * read from the file `name`: {ok, error, lines, noMusic, images: [{file, bytes}]}. */
    readRecording(channels, rate, name) {
        const r = this.core.readRecording(channels, rate, name);
        const ok = r.u8() === 1;
        const error = r.text();
        const lines = [];
        for (let n = r.u32(); n > 0; n--) lines.push(r.text());
        const noMusic = r.text();
        const images = [];
        for (let n = r.u32(); n > 0; n--) images.push({ file: r.u32(), bytes: r.bytes().slice() });
        return { ok, error, lines, noMusic, images };
    }

    /** The MML that /mml writes of the MIDI file `bytes` named
     * `options.name` (the call's data), and the lines that say what the
     * import kept and left out. */
    importMidi(bytes, options = {}) {
        const result = this.run('import', bytes, { name: options.name ?? 'song.mid' });
        if (!result.ok) return result;
        const lines = [];
        for (let n = result.rest.u32(); n > 0; n--) lines.push(result.rest.text());
        return { ...result, lines, text: new TextDecoder().decode(result.data) };
    }

    /** The picture of the passage the options pick, and its notes with
     * their places in the source. */
    roll(source, options = {}) {
        const result = this.run('roll', source, options);
        if (!result.ok) return result;
        const r = result.rest;
        const notes = [];
        for (let n = r.u32(); n > 0; n--) {
            notes.push({ track: r.u8(), on: r.u32(), off: r.u32(), line: r.u32(), column: r.u32(), end: r.u32() });
        }
        return { ...result, notes, svg: new TextDecoder().decode(result.data) };
    }
}
