// Starts the page: the core from the WebAssembly embedded in it, the
// editor, the controls, window.zirvon, and the text: that of the link that
// opened it, or the one kept from the last visit, or the first example.

/* global ZIRVON_EXAMPLES */

import { Calls } from './api.js';
import { Audio } from './audio.js';
import { Cassette } from './cassette.js';
import { Core } from './core.js';
import { createEditor } from './editor.js';
import { KeyEntry } from './entry.js';
import { acceptFiles, isImageName } from './files.js';
import { wireHelp } from './help.js';
import { keptWork } from './keep.js';
import { showSummary } from './messages.js';
import { MidiPlayer } from './midi_player.js';
import { OutputChoice } from './outputs.js';
import { Page } from './page.js';
import { Player } from './player.js';
import { publicInterface } from './public_api.js';
import { RollView } from './roll.js';
import { sharedOf } from './share.js';
import { wireTracks } from './tracks.js';
import { Transport } from './transport.js';

let markReady;
let markFailed;
window.zirvonReady = new Promise((resolve, reject) => {
    markReady = resolve;
    markFailed = reject;
});

const byId = (id) => document.getElementById(id);

function elements() {
    const tracks = { solo: {}, mute: {} };
    for (let k = 1; k <= 8; k++) {
        tracks.solo[k] = byId(`solo-${k}`);
        tracks.mute[k] = byId(`mute-${k}`);
    }
    const ids = ['editor', 'messages', 'summary', 'status', 'roll', 'loop', 'tape-name', 'file-name',
        'listing', 'image-bar', 'image-name', 'share-link'];
    const found = Object.fromEntries(ids.map((id) => [id.replace(/-(\w)/g, (_, c) => c.toUpperCase()), byId(id)]));
    return { ...found, tracks };
}

/** Writes the keys' hints as this system spells them: Cmd on a Mac. */
function showKeys(root) {
    const mac = /Mac|iPhone|iPad/.test(navigator.platform);
    for (const hint of root.querySelectorAll('kbd[data-keys]')) {
        hint.textContent = hint.dataset.keys.replace('Mod', mac ? 'Cmd' : 'Ctrl').replace('Alt', mac ? 'Option' : 'Alt');
        hint.setAttribute('aria-hidden', 'true');
    }
}

/** The command line's /from=M:SS of a tick: the second it falls in. */
function timeOf(tick) {
    const seconds = Math.floor(tick / 50);
    return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

function wasmBytes() {
    const text = byId('zirvon-core').textContent.trim();
    return Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
}

function on(id, action) {
    byId(id).addEventListener('click', action);
}

/** The text to start with, its names, and whether anything else holds it:
 * the link's, unless the composer keeps the changed text of the last visit
 * instead; else the last visit's; else the first example. */
function firstText(shared, kept, examples) {
    const example = { text: examples['canon.mml'] ?? '', name: 'canon.mml', tapeName: 'MUSICDATA', saved: true };
    if (shared && kept && !kept.saved && kept.text !== shared.text &&
        !window.confirm('This link holds a text other than the one you changed here last time, whose changes ' +
            'are kept nowhere else. Open the link\'s text (Cancel keeps yours)?')) {
        history.replaceState(null, '', location.pathname + location.search);
        return kept;
    }
    if (shared) {
        const name = shared.name && !isImageName(shared.name) ? shared.name : 'song.mml';
        // The address follows the text once shared: the same text kept here
        // is no more saved than it was.
        const saved = !kept || kept.text !== shared.text || kept.saved;
        return { text: shared.text, name, tapeName: shared.tapeName ?? 'MUSICDATA', saved };
    }
    return kept ?? example;
}

async function start() {
    const module = await WebAssembly.compile(wasmBytes());
    const core = new Core(module);
    await core.start();
    const calls = new Calls(core);
    const el = elements();
    const roll = new RollView(el.roll);
    const page = new Page({ calls, elements: el, roll });
    let player;
    const audio = new Audio(module, (message) => player.heard(message));
    player = new Player(audio);
    const transport = new Transport({ page, player, roll, elements: el });
    const midi = new MidiPlayer(calls, (why) => {
        transport.finish();
        showSummary(el.summary, why, true);
    });
    new OutputChoice({ select: byId('output'), transport, synth: player, midi,
        complain: (why) => showSummary(el.summary, why, true) });

    // Escape is left to the editor, where it is the first half of
    // Escape Tab, the way out of a text that takes Tab for itself; there
    // Ctrl+. (Cmd+.) stops.
    const keys = [
        { key: 'Mod-Enter', run: () => (transport.toggle(), true) },
        { key: 'Shift-Mod-Enter', run: () => (transport.play('cursor'), true) },
        { key: 'Alt-Enter', run: () => (transport.play('selection'), true) },
        { key: 'Mod-.', run: () => (transport.stop(), true) },
    ];
    let shared = null;
    let damaged = false;
    try {
        shared = await sharedOf(location.hash);
    } catch {
        damaged = true;
    }
    const examples = ZIRVON_EXAMPLES;
    const first = firstText(shared, keptWork(), examples);
    page.view = createEditor(el.editor, {
        doc: first.text,
        onChange: () => page.textChanged(),
        keys,
    });
    new KeyEntry({ page, calls, transport, toggle: byId('entry'), length: byId('entry-length'),
        rest: byId('entry-rest'), state: byId('entry-state') });
    page.name = first.name;
    el.tapeName.value = first.tapeName;
    if (first.saved) page.savedText = first.text;
    el.fileName.textContent = page.name;

    on('play', () => transport.play('song'));
    on('stop', () => transport.stop());
    on('play-cursor', () => transport.play('cursor'));
    on('play-selection', () => transport.play('selection'));
    el.loop.addEventListener('change', () => transport.player.setLoop(el.loop.checked));
    wireTracks(el.tracks, () => {
        transport.tracksChanged();
        page.drawRoll();
    });
    on('open', () => byId('file-input').click());
    acceptFiles(byId('file-input'), document.body, (name, bytes) => {
        if (!isImageName(name) && !page.mayReplace(name)) return;
        transport.stop();
        page.open(name, bytes);
    });
    on('edit-source', () => page.closeImage());
    for (const kind of ['mml', 'mzt', 'mid', 'wav', 'svg']) on(`download-${kind}`, () => page.save(kind));
    const cassette = new Cassette({ page, calls, byId });
    on('cassette', () => cassette.toggle());
    on('cassette-play', () => {
        transport.stop();
        cassette.play();
    });
    on('cassette-stop', () => cassette.stop());
    on('download-cassette', () => cassette.save());
    on('open-recording', () => byId('recording-input').click());
    acceptFiles(byId('recording-input'), byId('cassette-panel'), (name, bytes) => {
        transport.stop();
        cassette.openRecording(name, bytes);
    });
    on('share', () => page.share());
    el.tapeName.addEventListener('change', () => page.textChanged());
    el.tapeName.addEventListener('input', () => {
        if (!page.image) page.keep();
    });
    const menu = byId('examples');
    for (const name of Object.keys(examples)) menu.append(new Option(name, name));
    menu.addEventListener('change', () => {
        const name = menu.value;
        menu.value = '';
        if (!name || !page.mayReplace(name)) return;
        transport.stop();
        page.open(name, new TextEncoder().encode(examples[name]));
    });
    document.addEventListener('keydown', (event) => {
        // The shortcuts work wherever the focus is, not only in the editor.
        if (page.view.hasFocus) return;
        const mod = event.ctrlKey || event.metaKey;
        if (event.key === 'Escape' || (event.key === '.' && mod)) transport.stop();
        else if (event.key === 'Enter' && mod) {
            event.preventDefault();
            if (event.shiftKey) transport.play('cursor');
            else transport.toggle();
        } else if (event.key === 'Enter' && event.altKey) {
            event.preventDefault();
            transport.play('selection');
        }
    });
    byId('skip-to-editor').addEventListener('click', (event) => {
        event.preventDefault();
        page.view.focus();
    });
    showKeys(document);
    roll.onNote = (note) => page.revealNote(note);
    roll.onTime = (tick) => transport.play('song', { from: timeOf(tick) });

    page.compile();
    page.keep();
    if (damaged) showSummary(el.summary, 'the link is damaged: the source in it cannot be read', true);
    window.zirvon = publicInterface(calls, () => transport.player.position());
    performance.mark('zirvon: ready');
    markReady(window.zirvon);
    // The audio is made now, so that Play has only to resume it.
    audio.prepare().catch((error) => showSummary(el.status, `no sound: ${error.message}`, true));
}

// The help needs nothing of the core: it opens even where the core cannot start.
wireHelp(byId('help'), byId('help-panel'), byId('help-close'));
start().catch((error) => {
    byId('summary').textContent = `zirvon could not start: ${error.message}`;
    markFailed(error);
});
