// The player the page runs in its audio thread (web/wasm/engine.h, driven
// as web/src/worklet.js drives it, 128 frames at a time) sounds as /wav
// renders: every sample of the examples and of random songs, whole and
// with tracks muted, within one step of 16 bits (the player gives floats).
// Runs the page's own WebAssembly, taken out of it, in Node.js.
//   node web/tests/player_test.mjs ZIRVON PAGE [COUNT] [SEED]

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { Calls } from '../src/api.js';
import { Core } from '../src/core.js';
import { systemImports } from '../src/system_imports.js';
import { argumentsOrSkip, check, finish } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const { page } = argumentsOrSkip({ browser: false });
const count = Number(process.argv[4] ?? 40);
const seed = Number(process.argv[5] ?? 5);
const RATE = 44100;
const QUANTUM = 128;

const html = fs.readFileSync(page, 'utf8');
const base64 = /<script type="application\/octet-stream" id="zirvon-core">([^<]*)<\/script>/.exec(html)[1];
const module = await WebAssembly.compile(Buffer.from(base64, 'base64'));
const core = new Core(module);
await core.start();
const calls = new Calls(core);
const engine = (await WebAssembly.instantiate(module, { ...systemImports(), zirvon: { data: () => {} } })).exports;
engine._initialize();
const player = engine.zv_engine_new(RATE);
const left = engine.zv_alloc(4 * QUANTUM);
const right = engine.zv_alloc(4 * QUANTUM);

/** The nearest 16-bit sample, as the synthesizer writes WAV files. */
const sample = (x) => Math.trunc(Math.min(32767, Math.max(-32767, x * 32767)) + 32768.5) - 32768;

/** The largest difference between the player's samples and the WAV file's. */
function difference(plan, wav) {
    const frames = (wav.length - 44) / 4;
    const at = engine.zv_alloc(plan.image.length);
    new Uint8Array(engine.memory.buffer, at, plan.image.length).set(plan.image);
    engine.zv_engine_play(player, at, plan.image.length, plan.passage.start, plan.passage.end, plan.passage.audible, 0);
    engine.zv_free(at);
    const view = new DataView(wav.buffer, wav.byteOffset + 44);
    let most = 0;
    for (let done = 0; done < frames; done += QUANTUM) {
        const n = Math.min(QUANTUM, frames - done);
        engine.zv_engine_render(player, left, right, n);
        const l = new Float32Array(engine.memory.buffer, left, n);
        const r = new Float32Array(engine.memory.buffer, right, n);
        for (let i = 0; i < n; i++) {
            most = Math.max(most, Math.abs(sample(l[i]) - view.getInt16(4 * (done + i), true)),
                Math.abs(sample(r[i]) - view.getInt16(4 * (done + i) + 2, true)));
        }
    }
    check(engine.zv_engine_done(player) === 1, 'the player is done where the WAV file ends');
    return most;
}

const examples = path.join(here, '..', '..', 'examples');
const songs = fs.readdirSync(examples).filter((n) => n.endsWith('.mml')).map((n) => fs.readFileSync(path.join(examples, n), 'utf8'));
songs.push(...JSON.parse(execFileSync('python3', [path.join(here, 'random_songs.py'), String(count), String(seed)], { maxBuffer: 1 << 28 })));
let compared = 0;
for (const [i, text] of songs.entries()) {
    for (const options of [{}, { mute: '1,3' }]) {
        const plan = calls.play(text, options);
        // Songs with errors, and songs of over two minutes (a random song may
        // last an hour), are left to the other tests.
        if (!plan.ok || plan.passage.end - plan.passage.start > 6000) continue;
        const wav = calls.file('wav', text, options);
        // Errors outside what plays let it play, but no file is written.
        if (!wav.ok) continue;
        const most = difference(plan, wav.data);
        check(most <= 1, `song ${i + 1} ${JSON.stringify(options)}: the player's samples differ from the WAV file's by up to ${most}`);
        compared++;
    }
}
check(compared >= songs.length / 2, `only ${compared} songs could be compared`);

// A passage plays, and is drawn, while the song has errors only in blocks
// it does not play; one that holds an error is refused, naming it.
const slip = '1[C]\n1[O D]\n1[E]\n'; // track 1 is out of range from block 2 on
for (const [options, message] of [
    [{ to: '1' }, ''],
    [{ from: '2' }, '1 error; nothing played: block 2 holds the error at line 2, column 3'],
    [{ from: '3' }, '1 error; nothing played: block 3 holds the error at line 2, column 3'],
]) {
    const plan = calls.play(slip, options);
    const what = `play ${JSON.stringify(options)} of a song with an error`;
    check(plan.ok === !message && (plan.ok || plan.message === message), `${what}: ${plan.message}`);
    check(calls.roll(slip, options).ok === plan.ok, `${what}: drawn as played`);
}
console.log(`${compared} songs and passages played and compared with their WAV files`);
finish('player_test');
