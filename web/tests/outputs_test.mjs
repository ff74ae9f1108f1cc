// The page's JavaScript interface against the native program, on the
// examples and on random songs of the reference model tests' generator:
// the same image, /list, .MID, .WAV and .SVG bytes, and the same messages,
// with random passage options; and /list of the images, broken ones too;
// and songs whose tracks sound one pitch together, three and more at once,
// where ties in any ordering of the notes would show.
//   node web/tests/outputs_test.mjs ZIRVON PAGE [COUNT] [SEED]

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { argumentsOrSkip, check, digest, finish, launch, openPage, runNative, scratchFolder } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const { zirvon, page } = argumentsOrSkip();
const count = Number(process.argv[4] ?? 60);
const seed = Number(process.argv[5] ?? 20);

// Options as the command line takes them, good and bad.
const PASSAGES = [{}, {}, {}, { from: '2' }, { to: '1' }, { from: '2', to: '3' }, { from: '0:01' },
    { to: '0:02.5' }, { from: 'line:2' }, { to: 'line:3' }, { from: 'line:2:5' }, { solo: '1' },
    { mute: '2,4-5' }, { solo: '1,1' }, { from: 'x' }, { solo: '1', mute: '2' }, { from: '3', to: '2' },
    { from: '99' }, { to: 'line:1:1' }];
// Eight two-byte characters: one byte too many, cut between two of them.
const TAPE_NAMES = ['TUNE', 'MUSICDATA', 'A B', 'X', '\u00c4'.repeat(8)];
// A port no machine has: /play is run for its messages, which come before it.
const NO_PORT = 'no-such-port-anywhere';
// WAV files longer than this are left out: a random song may last an hour.
const LONGEST_WAV = 24 << 20;
// Messages of a run rather than of the source, which the command line
// prints after "zirvon: ".
const RUN_CODES = new Set(['option', 'tape-name', 'silence', 'left-out', 'tape-header']);

function lines(text) {
    return text.split('\n').filter((line) => line !== '');
}

/** The messages of a native run, without the excerpts under them. */
function messages(stderr) {
    return lines(stderr).filter((line) => /^(src\.MML(:\d+:\d+)?|zirvon): /.test(line));
}

/** A page's problems, as the command line prints them. */
function printed(diagnostics) {
    return diagnostics.map((d) => {
        if (RUN_CODES.has(d.code)) return `zirvon: ${d.severity}: ${d.message}`;
        return d.line > 0 ? `src.MML:${d.line}:${d.column}: ${d.severity}: ${d.message}` : `src.MML: ${d.severity}: ${d.message}`;
    });
}

/** The line that counts a compile's problems: "zirvon: 1 error, 2 warnings; ...". */
const isSummary = (line) => /^zirvon: \d+ (errors?|warnings?)(, \d+ warnings?)?(;|$)/.test(line);

function same(what, actual, expected) {
    if (JSON.stringify(actual) === JSON.stringify(expected)) return true;
    let shown = [actual, expected];
    if (Array.isArray(actual) && Array.isArray(expected)) {
        // Where two lists part, rather than their whole.
        let i = 0;
        while (JSON.stringify(actual[i]) === JSON.stringify(expected[i])) i++;
        shown = [`[${i}] of ${actual.length}: ${JSON.stringify(actual[i])}`, `[${i}] of ${expected.length}: ${JSON.stringify(expected[i])}`];
    }
    return check(false, `${what}:\n      page:   ${String(shown[0]).slice(0, 400)}\n      native: ${String(shown[1]).slice(0, 400)}`);
}

/** Everything the page makes of one case, with digests for the bytes. */
async function pageOutputs(tab, text, options, withWav) {
    const passage = Object.fromEntries(['from', 'to', 'solo', 'mute'].filter((k) => k in options).map((k) => [k, options[k]]));
    return tab.evaluate(async (text, options, withWav, passage) => {
        const hex = async (bytes) => Array.from(new Uint8Array(await crypto.subtle.digest('SHA-256', bytes)),
            (b) => b.toString(16).padStart(2, '0')).join('');
        const file = async (result) => ({ ...result, data: result.ok ? await hex(typeof result.data === 'string' ? new TextEncoder().encode(result.data) : result.data) : null });
        const z = window.zirvon;
        const compiled = z.compile(text, { name: 'src.MML', tapeName: options.tapeName });
        const image = compiled.image ? Array.from(compiled.image) : null;
        const all = { name: 'src.MML', ...options };
        return {
            compiled: { ...compiled, image: compiled.image ? await hex(compiled.image) : null },
            image,
            list: z.list(text, { name: 'src.MML' }),
            midi: await file(z.midi(text, all)),
            svg: await file(z.svg(text, all)),
            wav: withWav ? await file(z.wav(text, all)) : null,
            play: z.play(text, { name: 'src.MML', ...passage }),
        };
    }, text, options, withWav, passage);
}

async function pageList(tab, bytes, name) {
    return tab.evaluate((bytes, name) => window.zirvon.list(new Uint8Array(bytes), { name }), Array.from(bytes), name);
}

function read(folder, name) {
    const file = path.join(folder, name);
    return fs.existsSync(file) ? fs.readFileSync(file) : null;
}

async function checkCase(tab, folder, label, text, options) {
    for (const name of fs.readdirSync(folder)) fs.rmSync(path.join(folder, name));
    fs.writeFileSync(path.join(folder, 'src.MML'), text);
    const passage = ['from', 'to', 'solo', 'mute'].filter((k) => k in options).map((k) => `/${k}=${options[k]}`);
    const compile = runNative(zirvon, folder, 'src.mml', options.tapeName);
    const image = read(folder, 'src.MZT');
    const listing = compile.status === 0 ? runNative(zirvon, folder, 'src.mml', '/list') : null;
    const files = runNative(zirvon, folder, 'src.mml', options.tapeName, '/midi', '/wav', '/svg', ...passage);
    const wav = read(folder, 'src.WAV');
    const withWav = files.status !== 0 || (wav !== null && wav.length <= LONGEST_WAV);
    const got = await pageOutputs(tab, text, options, withWav);

    // The compile: the image, every problem and the summary.
    const natives = messages(compile.stderr);
    same(`${label}: problems`, printed(got.compiled.diagnostics), natives.filter((l) => !isSummary(l)));
    same(`${label}: summary`, got.compiled.summary, (natives.find(isSummary) ?? '').replace(/^zirvon: /, ''));
    same(`${label}: image`, got.compiled.image, image && digest(image));
    if (listing) same(`${label}: /list`, got.list.data, listing.stdout.toString('utf8'));
    else check(!got.list.ok, `${label}: /list of a source with errors is refused`);

    // The files, with the passage options; a run that fails ends with its error.
    const fileMessages = messages(files.stderr);
    const error = files.status === 0 ? null : fileMessages.filter((l) => /^zirvon: (?!warning: )/.test(l)).at(-1);
    const what = `${label} ${passage.join(' ')}`;
    for (const [kind, extension] of [['midi', 'MID'], ['svg', 'SVG'], ...(withWav ? [['wav', 'WAV']] : [])]) {
        const result = got[kind];
        // What is heard, /midi and /wav warn about; /svg does not.
        const heard = /(left out|nothing to hear)$/;
        const expected = fileMessages.filter((l) => !isSummary(l) && l !== error && (kind !== 'svg' || !heard.test(l)));
        same(`${what}: ${kind} messages`, printed(result.diagnostics), expected);
        if (files.status === 0) {
            same(`${what}: ${kind}`, result.data, digest(read(folder, `src.${extension}`)));
        } else if (isSummary(error)) {
            // The command line names every file it does not write, the page the one.
            const counts = error.replace(/^zirvon: /, '').split(';')[0];
            same(`${what}: ${kind} of a source with errors`, [result.ok, result.message], [false, `${counts}; 'src.${extension}' not written`]);
        } else {
            same(`${what}: ${kind} refused`, [result.ok, `zirvon: ${result.message}`], [false, error]);
        }
    }
    // Playing: the command line stops at the port, after every message of the run.
    const played = messages(runNative(zirvon, folder, 'src.mml', '/play', `/port=${NO_PORT}`, ...passage).stderr)
        .filter((l) => !l.startsWith(`zirvon: /port=${NO_PORT}: `));
    same(`${what}: summary of /play`, got.play.summary, (played.find(isSummary) ?? '').replace(/^zirvon: /, ''));
    const refusal = got.play.ok ? [] : [`zirvon: ${got.play.message}`];
    same(`${what}: messages of /play`, [...printed(got.play.diagnostics), ...refusal], played.filter((l) => !isSummary(l) || l === refusal[0]));
    if (image) await checkImage(tab, folder, label, image, got.image);
}

/** /list of the image, and of the image broken in one of several ways. */
async function checkImage(tab, folder, label, image, pageImage) {
    check(pageImage.length === image.length, `${label}: the page's image has ${pageImage.length} bytes`);
    const broken = [
        image,
        image.subarray(0, 127),
        image.subarray(0, Math.max(128, image.length - 3)),
        Buffer.concat([Uint8Array.of(0xaa), image.subarray(1), Uint8Array.of(1, 2)]),
        Buffer.concat([image, Buffer.alloc(70000)]),
    ];
    for (const [i, bytes] of broken.entries()) {
        fs.writeFileSync(path.join(folder, 'img.MZT'), bytes);
        const native = runNative(zirvon, folder, 'img.MZT', '/list');
        const got = await pageList(tab, bytes, 'img.MZT');
        const printedPage = got.diagnostics.map((d) => `zirvon: ${d.severity}: ${d.message}`);
        const expected = messages(native.stderr);
        if (native.status === 0) {
            same(`${label}: /list of image ${i}`, [got.data, printedPage], [native.stdout.toString('utf8'), expected]);
        } else {
            same(`${label}: /list of broken image ${i}`, [got.ok, `zirvon: ${got.message}`], [false, expected[0]]);
        }
    }
    // Played with a new tape name, an image is written back renamed, and the
    // picture of what plays is that of the renamed image.
    fs.writeFileSync(path.join(folder, 'img.MZT'), image);
    runNative(zirvon, folder, 'img.MZT', 'RENAMED');
    if (runNative(zirvon, folder, 'img.MZT', '/svg').status === 0) {
        const roll = await tab.evaluate((bytes) => window.zirvon.roll(new Uint8Array(bytes), { name: 'img.MZT', tapeName: 'RENAMED' }), Array.from(image));
        same(`${label}: picture of a renamed image as it plays`, roll.data, read(folder, 'img.SVG').toString('utf8'));
    }
}

/** Songs of three to eight tracks on two pitches: many notes sounded by
 * several tracks at once, starting together. */
function unisonSongs(count, seed) {
    let state = seed >>> 0;
    const random = (n) => {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        return (state >>> 8) % n;
    };
    const note = () => `${random(4) === 0 ? 'R' : 'CCD'[random(3)]}${[4, 8, 8, 16][random(4)]}`;
    const group = (k) => `${k}[O4 Q${4 + random(5)} ${Array.from({ length: 8 }, note).join(' ')}]`;
    const block = (tracks) => Array.from({ length: tracks }, (_, k) => group(k + 1)).join(' ');
    return Array.from({ length: count }, (_, i) =>
        `Unison ${i + 1}\n${Array.from({ length: 6 }, () => block(3 + (i % 6))).join('\n')}\n`);
}

const sources = JSON.parse(execFileSync('python3', [path.join(here, 'random_songs.py'), String(count), String(seed)], { maxBuffer: 1 << 28 }));
const examples = path.join(here, '..', '..', 'examples');
const { browser, close } = await launch();
try {
    const tab = await openPage(browser, pathToFileURL(page).href);
    const folder = scratchFolder();
    for (const name of fs.readdirSync(examples).filter((n) => n.endsWith('.mml')).sort()) {
        const text = fs.readFileSync(path.join(examples, name), 'utf8');
        await checkCase(tab, folder, name, text, { tapeName: 'EXAMPLE' });
        await checkCase(tab, folder, `${name} from line 6`, text, { tapeName: 'EXAMPLE', from: 'line:6', mute: '2' });
    }
    // Played around an error elsewhere in the song, and with the error in what plays.
    const slip = '1[C]\n1[O D]\n1[E]\n';
    await checkCase(tab, folder, 'error after the passage', slip, { tapeName: 'SLIP', to: '1' });
    await checkCase(tab, folder, 'error in the passage', slip, { tapeName: 'SLIP', from: '2' });
    // The generator writes bytes; read as Latin-1 and written as UTF-8 they
    // are text in the page and the same bytes for the native program.
    sources.forEach((source, i) => {
        sources[i] = { text: source, options: { tapeName: TAPE_NAMES[i % TAPE_NAMES.length], ...PASSAGES[(i * 7) % PASSAGES.length] } };
    });
    for (const [i, { text, options }] of sources.entries()) {
        await checkCase(tab, folder, `random song ${i + 1} (seed ${seed})`, text, options);
    }
    const unisons = unisonSongs(Math.max(6, Math.ceil(count / 5)), seed);
    for (const [i, text] of unisons.entries()) {
        await checkCase(tab, folder, `unison song ${i + 1} (seed ${seed})`, text, { tapeName: 'UNISON', ...PASSAGES[(i * 5) % PASSAGES.length] });
    }
    fs.rmSync(folder, { recursive: true, force: true });
    console.log(`${sources.length} random songs, ${unisons.length} in unison and the examples compared`);
} finally {
    await close();
}
finish('outputs_test');
