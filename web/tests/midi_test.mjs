// The page on MIDI, in headless Chromium with a stand-in for the browser's
// MIDI access (outputs that record what they are sent with its timestamp,
// one without clear(); an input the test plays): nothing is asked before
// the composer picks MIDI; Play, Play selection, from the cursor, a muted
// track and Loop send what the program's /midi file of the same passage
// holds, channel by channel, each message stamped with its tick, between
// the resets /play sends; a solo or mute pressed while it plays silences
// the track and leaves no note hanging; Stop takes back what the output
// holds, then all notes off and the reset. The largest difference of a
// timestamp from its tick is printed, not judged. Keys pressed on the input
// put MML at the cursor that compiles to their pitches, every one of the
// dialect's range, and sound on the output while held.
//   node web/tests/midi_test.mjs ZIRVON PAGE

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { argumentsOrSkip, check, finish, launch, runNative, scratchFolder } from './browser.mjs';

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const { zirvon, page } = argumentsOrSkip();
const folder = scratchFolder();
fs.copyFileSync(path.join(root, 'examples', 'canon.mml'), path.join(folder, 'canon.mml'));

/** Runs in the page before its own script: the browser's MIDI access
 * replaced, and what its ports see kept in window.midiLog. */
function standIn() {
    const log = { asked: 0, sent: [] };
    const output = (id, clears) => ({
        id, name: `Stand-in ${id}`, type: 'output', state: 'connected', connection: 'open',
        send(data, timestamp) {
            log.sent.push({ port: id, data: Array.from(data), timestamp: timestamp ?? 0, at: performance.now() });
        },
        // What is taken back is what has not gone out: the messages of times to come.
        ...(clears ? {
            clear() {
                const now = performance.now();
                log.sent = log.sent.filter((m) => m.port !== id || !(m.timestamp > now));
                log.sent.push({ port: id, clear: true, at: now });
            },
        } : {}),
    });
    const input = {
        id: 'keys', name: 'Stand-in keys', type: 'input', state: 'connected', connection: 'open',
        onmidimessage: null, listeners: [],
        addEventListener(type, f) { if (type === 'midimessage') this.listeners.push(f); },
        removeEventListener(type, f) { this.listeners = this.listeners.filter((g) => g !== f); },
    };
    const access = {
        inputs: new Map([['keys', input]]),
        outputs: new Map([['clears', output('clears', true)], ['holds', output('holds', false)]]),
        sysexEnabled: false, onstatechange: null, addEventListener() {}, removeEventListener() {},
    };
    log.key = (status, note, velocity) => {
        const event = { data: Uint8Array.of(status, note, velocity), timeStamp: performance.now() };
        input.onmidimessage?.(event);
        for (const f of input.listeners) f(event);
    };
    Object.defineProperty(navigator, 'requestMIDIAccess', {
        value: async () => {
            log.asked++;
            return access;
        },
    });
    window.midiLog = log;
}

const RESET = [];
for (let channel = 0; channel < 16; channel++) RESET.push([0xb0 + channel, 121, 0], [0xb0 + channel, 123, 0]);
const NOTES_OFF = Array.from({ length: 16 }, (_, channel) => [0xb0 + channel, 123, 0]);
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

/** The channel messages of a Standard MIDI File, channel by channel, with
 * their ticks. */
function fileMessages(bytes) {
    const channels = {};
    for (let at = 14; at < bytes.length; at += 8 + bytes.readUInt32BE(at + 4)) {
        const end = at + 8 + bytes.readUInt32BE(at + 4);
        let tick = 0;
        for (let i = at + 8; i < end;) {
            let b;
            do {
                b = bytes[i++];
                tick = tick + (b & 0x7f) * (b & 0x80 ? 128 : 1);
            } while (b & 0x80);
            if (bytes[i] === 0xff) {
                i += 3 + bytes[i + 2];
                continue;
            }
            const size = (bytes[i] & 0xf0) === 0xc0 ? 2 : 3;
            (channels[bytes[i] & 15] ??= []).push({ tick, data: [...bytes.subarray(i, i + size)] });
            i += size;
        }
    }
    return channels;
}

/** The program's /midi file of canon.mml with `options`. */
function native(...options) {
    const run = runNative(zirvon, folder, 'canon.mml', '/midi', ...options);
    check(run.status === 0, `zirvon canon.mml /midi ${options.join(' ')}: ${run.stderr}`);
    return fileMessages(fs.readFileSync(path.join(folder, 'canon.MID')));
}

const timing = { most: 0, leastAhead: Infinity, messages: 0, runs: 0 };

/** The messages of one port since `from`, the music apart from the resets
 * around it: {opening, music, closing, start}. */
function parts(sent) {
    const opening = sent.slice(0, 32);
    const start = opening[0]?.timestamp;
    check(same(opening.map((m) => m.data), RESET) && opening.every((m) => m.timestamp === start),
        'the channels are reset as the music starts, at its start');
    return { start, music: sent.slice(32), opening };
}

/** Checks that the music (after the opening reset) is `expected`, a file's
 * messages, channel by channel, each at the time of its tick; with `turns`
 * of a loop of `length` ticks, the file's again on each turn but the
 * program changes. With `cut`, the music may stop short of the end, and a
 * channel silenced while it played may end on a note-off of its own.
 * Keeps the timing. */
function compare(what, music, start, expected, { turns = 1, length = 0, cut = false } = {}) {
    const channels = {};
    for (const m of music) (channels[m.data[0] & 15] ??= []).push(m);
    for (const channel of new Set([...Object.keys(expected), ...Object.keys(channels)])) {
        const wanted = [];
        for (let turn = 0; turn < turns; turn++) {
            for (const m of expected[channel] ?? []) {
                if (turn === 0 || (m.data[0] & 0xf0) !== 0xc0) wanted.push({ tick: m.tick + turn * length, data: m.data });
            }
        }
        let got = channels[channel] ?? [];
        if (cut) {
            const last = got.at(-1);
            if (last && (last.data[0] & 0xf0) === 0x80 && !same(last.data, wanted[got.length - 1]?.data)) got = got.slice(0, -1);
            wanted.splice(got.length);
        } else {
            got = got.slice(0, wanted.length);
        }
        if (!check(same(got.map((m) => m.data), wanted.map((m) => m.data)),
            `${what}: channel ${channel} sends ${JSON.stringify(got.map((m) => m.data))}, not the file's ${JSON.stringify(wanted.map((m) => m.data))}`)) continue;
        // A note-off that ends a silenced note is sent where the silence starts.
        got.slice(0, cut ? -1 : undefined).forEach((m, i) => {
            timing.most = Math.max(timing.most, Math.abs(m.timestamp - start - wanted[i].tick * 20));
            timing.leastAhead = Math.min(timing.leastAhead, m.timestamp - m.at);
            timing.messages++;
        });
    }
    timing.runs++;
}

/** The messages a port is sent while `act()` runs and until `until` holds
 * on the page (given `argument`). */
async function sentWhile(tab, act, until, argument, port = 'clears') {
    await tab.evaluate(() => { window.midiLog.sent = []; });
    await act();
    await tab.waitForFunction(until, { timeout: 30000, polling: 50 }, argument);
    return (await tab.evaluate(() => window.midiLog.sent)).filter((m) => m.port === port);
}

const ended = () => !window.zirvon.player.playing;
const reached = (tick) => window.zirvon.player.tick >= tick;

/** The Stop's messages at the end of `sent`: what the output holds taken
 * back, then all notes off and the reset; {music, stop}. */
function stopped(what, sent) {
    const at = sent.findLastIndex((m) => m.clear);
    check(at > 0 && same(sent.slice(at + 1).map((m) => m.data), [...NOTES_OFF, ...RESET]),
        `${what}: Stop clears the output, then all notes off and the reset`);
    return sent.slice(0, Math.max(at, 0));
}

async function cursorOnLine(tab, n) {
    const lines = await tab.$$('#editor .cm-line');
    await lines[n - 1].click({ offset: { x: 4, y: 4 } });
}

async function outputs(t) {
    check(await t.evaluate(() => window.midiLog.asked) === 0, 'nothing is asked of Web MIDI before MIDI is picked');
    await t.select('#output', 'midi');
    check(await t.waitForFunction(() => document.getElementById('output').value === 'clears', { timeout: 5000 })
        .catch(() => null), 'picking MIDI asks for the outputs and takes the first');

    // Play: the whole song, as /midi writes it, between the resets.
    let { start, music } = parts(await sentWhile(t, () => t.click('#play'), ended));
    check(same(music.splice(-32).map((m) => m.data), RESET), 'the channels are reset when the music ends');
    compare('Play', music, start, native());

    // Play selection with track 2 muted.
    await t.click('#mute-2');
    await cursorOnLine(t, 6);
    ({ start, music } = parts(await sentWhile(t, () => t.click('#play-selection'), ended)));
    compare('Play selection, track 2 muted', music.slice(0, -32), start, native('/from=line:6', '/to=line:6', '/mute=2'));
    await t.click('#mute-2');

    // Play from the cursor, stopped on its way.
    await cursorOnLine(t, 6);
    await sentWhile(t, () => t.click('#play-cursor'), reached, 60);
    await t.click('#stop');
    ({ start, music } = parts((await t.evaluate(() => window.midiLog.sent)).filter((m) => m.port === 'clears')));
    compare('Play from cursor', stopped('Play from cursor', music), start, native('/from=line:6:1'), { cut: true });

    // Loop: block 3 (102 ticks) twice over and on, then Stop.
    await t.click('#loop');
    let sent = await sentWhile(t, () => t.click('#play-selection'), () => window.midiLog.sent.length > 32 &&
        performance.now() > window.midiLog.sent[0].timestamp + 2.2 * 102 * 20);
    await t.click('#stop');
    await t.click('#loop');
    sent = (await t.evaluate(() => window.midiLog.sent)).filter((m) => m.port === 'clears');
    ({ start, music } = parts(sent));
    compare('Loop', stopped('Loop', music), start, native('/from=line:6', '/to=line:6'), { turns: 2, length: 102 });

    // Loop switched off once the next turn's first notes are handed over, before they are heard: taken back.
    await t.click('#loop');
    await sentWhile(t, () => t.click('#play-selection'), () => {
        const turn = window.midiLog.sent[0]?.timestamp + 102 * 20;
        if (!window.midiLog.sent.some((m) => (m.data?.[0] & 0xf0) === 0x90 && m.timestamp >= turn)) return false;
        window.loopOffAhead = turn - performance.now();
        document.getElementById('loop').click();
        return true;
    });
    await t.waitForFunction(ended, { timeout: 30000, polling: 50 });
    ({ start, music } = parts((await t.evaluate(() => window.midiLog.sent)).filter((m) => m.port === 'clears')));
    if (await t.evaluate(() => window.loopOffAhead) > 0) {
        check(music.some((m) => m.clear) && same(music.slice(-32).map((m) => m.data), RESET) &&
            music.slice(0, -32).every((m) => m.clear || m.timestamp <= start + 102 * 20),
        'Loop switched off before the next turn is heard: the turn handed over is taken back, the music ends with the turn heard');
        compare('Loop off', music.slice(0, -32).filter((m) => !m.clear), start, native('/from=line:6', '/to=line:6'));
    } else console.log('Loop off: the poll came after the next turn was heard; not checked');

    // Track 1 soloed while the song plays: the others end their notes at once.
    sent = await sentWhile(t, () => t.click('#play'), reached, 130);
    await t.click('#solo-1');
    await t.waitForFunction(reached, { polling: 50 }, 190);
    await t.click('#stop');
    await t.click('#solo-1');
    sent = (await t.evaluate(() => window.midiLog.sent)).filter((m) => m.port === 'clears');
    ({ start, music } = parts(sent));
    music = stopped('Solo', music);
    const soloAt = music.find((m) => m.clear)?.at;
    music = music.filter((m) => !m.clear);
    check(soloAt && !music.some((m) => (m.data[0] & 15) > 1 && (m.data[0] & 15) <= 8 && m.timestamp > soloAt),
        'on an output that takes back what it holds, a solo silences the other tracks at once');
    compare('Solo while it plays', music, start, native(), { cut: true });
    for (const channel of [2, 3]) {
        const notes = music.filter((m) => (m.data[0] & 15) === channel && (m.data[0] & 0xe0) === 0x80);
        const on = notes.filter((m) => (m.data[0] & 0xf0) === 0x90).length;
        check(on > 0 && on === notes.length - on, `track ${channel}, silenced while it plays, leaves no note hanging`);
    }

    // An output that cannot take back what it holds: the same resets at once and after all it holds.
    await t.select('#output', 'holds');
    // A toggle there takes effect from the first tick not handed over.
    sent = await sentWhile(t, () => t.click('#play'), reached, 30, 'holds');
    await t.click('#mute-1');
    await t.waitForFunction(reached, { polling: 50 }, 60);
    await t.click('#stop');
    await t.click('#mute-1');
    sent = (await t.evaluate(() => window.midiLog.sent)).filter((m) => m.port === 'holds');
    const stopAt = sent.findIndex((m, i) => i >= 32 && same(m.data, NOTES_OFF[0]));
    const held = sent.slice(32, stopAt).filter((m) => m.timestamp > sent[stopAt].timestamp);
    const resets = sent.slice(stopAt);
    const ones = sent.slice(32, stopAt).filter((m) => (m.data[0] & 0xef) === 0x81);
    const due = native()[1].filter((m) => m.data[0] === 0x91 && sent[0].timestamp + m.tick * 20 < sent[stopAt].timestamp);
    check(ones.length > 0 && ones.length % 2 === 0 && ones.every((m, i) => (m.data[0] === 0x91) === (i % 2 === 0)) &&
        ones.length / 2 < due.length, 'track 1, muted while it plays on an output that cannot take back, is silenced, ' +
        `leaving no note hanging: ${ones.length / 2} of its ${due.length} notes sent before the Stop`);
    check(stopAt > 32 && same(resets.map((m) => m.data), [...NOTES_OFF, ...RESET, ...(held.length ? [...NOTES_OFF, ...RESET] : [])]) &&
        resets.slice(48).every((m) => held.every((h) => m.timestamp >= h.timestamp)),
    `Stop without clear(): the resets at once, and after the ${held.length} messages the output holds`);
    await t.select('#output', 'clears');
}

/** Track 1's events in /list of the text `text`: [{code, length, gate}]. */
function trackOne(text) {
    fs.writeFileSync(path.join(folder, 'keys.mml'), text);
    const compiled = runNative(zirvon, folder, 'keys.mml');
    check(compiled.status === 0, `the text entered compiles: ${compiled.stderr}`);
    const listing = runNative(zirvon, folder, 'keys.MZT', '/list').stdout.toString('utf8');
    const track = listing.slice(listing.indexOf('Track 1:'), listing.indexOf('Track 2:'));
    return [...track.matchAll(/^\s+\d+\s+\S+\s+(\d+)\s+(\d+)\s+(\d+)/gm)].map((m) => ({ code: +m[1], length: +m[2], gate: +m[3] }));
}

const keptText = (t) => t.evaluate(() => JSON.parse(localStorage.getItem('zirvon.work')).text);

/** Presses `keys` together, and lets go once the text has changed or the
 * entry's state says why not. */
async function press(t, keys) {
    const [text, state] = await t.evaluate((keys) => {
        const seen = [JSON.parse(localStorage.getItem('zirvon.work')).text, document.getElementById('entry-state').textContent];
        for (const key of keys) window.midiLog.key(0x90, key, 100);
        return seen;
    }, keys);
    await t.waitForFunction((text, state) => JSON.parse(localStorage.getItem('zirvon.work')).text !== text ||
        document.getElementById('entry-state').textContent !== state, { timeout: 5000, polling: 10 }, text, state);
    await t.evaluate((keys) => { for (const key of keys) window.midiLog.key(0x80, key, 0); }, keys);
    return keptText(t);
}

/** Every key of the dialect's range entered at the cursor, in an order
 * that leaps octaves, half in the default length and half in sixteenths:
 * the text compiles to the pitches pressed and the lengths chosen. */
async function entry(t) {
    await t.click('#entry');
    check(await t.waitForFunction(() => document.getElementById('entry-state').textContent.includes('Stand-in keys'),
        { timeout: 5000 }).catch(() => null), 'switched on, entry listens to the keyboard');
    await t.click('#editor .cm-content');
    await t.keyboard.down('Control');
    await t.keyboard.press('End');
    await t.keyboard.up('Control');
    await t.keyboard.type('\n1[O4 L8 C ]');
    await t.keyboard.press('ArrowLeft');
    const keys = Array.from({ length: 104 }, (_, i) => 24 + ((i * 37) % 104));
    await t.evaluate(() => { window.midiLog.sent = []; });
    let text = '';
    for (const [i, key] of keys.entries()) {
        if (i === keys.length / 2) await t.select('#entry-length', '16');
        text = await press(t, [key]);
    }
    const heard = (await t.evaluate(() => window.midiLog.sent)).slice(0, 2).map((m) => m.data);
    check(same(heard, [[0x91, keys[0], 127], [0x81, keys[0], 127]]), `a key sounds on the output while it is held: ${JSON.stringify(heard)}`);
    const events = trackOne(text);
    const group = events.slice(-2 - keys.length, -2);
    const reference = events.at(-3 - keys.length);
    const wanted = keys.map((key, i) => [key - 24, i < keys.length / 2 ? reference.length : reference.length / 2]);
    check(same(group.map((e) => [e.code, e.length]), wanted),
        `every key from 24 to 127 compiles to its pitch and the length chosen: ${JSON.stringify(group.map((e) => e.code))}`);

    // Keys together: the lowest; a key out of the dialect's range: nothing, and why.
    const before = text;
    text = await press(t, [64, 60]);
    check(trackOne(text).at(-3).code === 36 && text.length > before.length, 'of keys pressed together the lowest is entered');
    await t.keyboard.down('Control');
    await t.keyboard.press('z');
    await t.keyboard.up('Control');
    check(await t.waitForFunction((b) => JSON.parse(localStorage.getItem('zirvon.work')).text === b, { timeout: 5000 }, before)
        .catch(() => null), 'Undo takes back one entry whole');
    check(await press(t, [23]) === before && (await t.$eval('#entry-state', (s) => s.textContent)) !== '',
        'a key below the dialect\'s range enters nothing, and says why');
    const typed = await keptText(t);
    await t.evaluate(() => { window.midiLog.sent = []; window.midiLog.key(0x90, 60, 100); });
    await t.select('#output', 'holds');
    await t.evaluate(() => window.midiLog.key(0x80, 60, 0));
    await t.waitForFunction((b) => JSON.parse(localStorage.getItem('zirvon.work')).text !== b, { timeout: 5000 }, typed);
    const offs = (await t.evaluate(() => window.midiLog.sent)).filter((m) => same(m.data, [0x81, 60, 127]));
    check(offs.length === 1 && offs[0].port === 'clears', 'a key held while the output changes is let go where it sounds');
    await t.select('#output', 'clears');
    await t.click('#entry-rest');
    const rest = trackOne(await keptText(t)).at(-3);
    check(rest.code === 0 && rest.gate === 0, 'Rest enters a rest');
    const kept = await keptText(t);
    await t.evaluate(() => { window.midiLog.key(0x90, 62, 100); document.getElementById('entry').click(); });
    await new Promise((resolve) => setTimeout(resolve, 300));
    check(await keptText(t) === kept, 'a key pressed as entry is switched off enters nothing');
    console.log(`entry: ${keys.length} keys (MIDI 24 to 127) entered and compiled to their pitches`);
}

const { browser, close } = await launch();
try {
    const tab = await browser.newPage();
    await tab.setViewport({ width: 1280, height: 860 });
    await tab.evaluateOnNewDocument(standIn);
    tab.on('pageerror', (error) => check(false, `error on the page: ${error.message}`));
    await tab.goto(pathToFileURL(page).href);
    await tab.evaluate(() => window.zirvonReady);
    await outputs(tab);
    await entry(tab);
} finally {
    await close();
}
console.log(`timing: ${timing.messages} messages over ${timing.runs} runs: the largest difference of a timestamp ` +
    `from its tick is ${timing.most.toFixed(3)} ms; each was handed to the output at least ${timing.leastAhead.toFixed(1)} ms ahead`);
finish('midi_test');
