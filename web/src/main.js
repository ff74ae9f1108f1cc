// Starts the page: the core from the WebAssembly embedded in it, the
// editor, the controls, window.zirvon, and the source of the link that
// opened it, if any.

/* global ZIRVON_EXAMPLES */

import { Calls } from './api.js';
import { Audio } from './audio.js';
import { Cassette } from './cassette.js';
import { Core } from './core.js';
import { createEditor } from './editor.js';
import { acceptFiles } from './files.js';
import { showSummary } from './messages.js';
import { Page } from './page.js';
import { Player } from './player.js';
import { publicInterface } from './public_api.js';
import { RollView } from './roll.js';
import { textOf } from './share.js';
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

function wasmBytes() {
    const text = byId('zirvon-core').textContent.trim();
    return Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
}

function on(id, action) {
    byId(id).addEventListener('click', action);
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

    const keys = [
        { key: 'Mod-Enter', run: () => (transport.toggle(), true) },
        { key: 'Shift-Mod-Enter', run: () => (transport.play('cursor'), true) },
        { key: 'Escape', run: () => (transport.stop(), true) },
    ];
    let shared = null;
    let damaged = false;
    try {
        shared = await textOf(location.hash);
    } catch {
        damaged = true;
    }
    const examples = ZIRVON_EXAMPLES;
    page.view = createEditor(el.editor, {
        doc: shared ?? examples['canon.mml'] ?? '',
        onChange: () => page.textChanged(),
        keys,
    });
    if (shared === null) page.name = 'canon.mml';
    el.fileName.textContent = page.name;

    on('play', () => transport.play('song'));
    on('stop', () => transport.stop());
    on('play-cursor', () => transport.play('cursor'));
    on('play-selection', () => transport.play('selection'));
    el.loop.addEventListener('change', () => player.setLoop(el.loop.checked));
    wireTracks(el.tracks, () => {
        transport.tracksChanged();
        page.drawRoll();
    });
    on('open', () => byId('file-input').click());
    acceptFiles(byId('file-input'), document.body, (name, bytes) => {
        transport.stop();
        page.open(name, bytes);
    });
    on('edit-source', () => page.closeImage());
    for (const kind of ['mzt', 'mid', 'wav', 'svg']) on(`download-${kind}`, () => page.save(kind));
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
    const menu = byId('examples');
    for (const name of Object.keys(examples)) menu.append(new Option(name, name));
    menu.addEventListener('change', () => {
        if (!menu.value) return;
        transport.stop();
        page.open(menu.value, new TextEncoder().encode(examples[menu.value]));
        menu.value = '';
    });
    document.addEventListener('keydown', (event) => {
        // The shortcuts work wherever the focus is, not only in the editor.
        if (page.view.hasFocus) return;
        if (event.key === 'Escape') transport.stop();
        else if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
            event.preventDefault();
            if (event.shiftKey) transport.play('cursor');
            else transport.toggle();
        }
    });

    page.compile();
    if (damaged) showSummary(el.summary, 'the link is damaged: the source in it cannot be read', true);
    window.zirvon = publicInterface(calls, () => player.position());
    performance.mark('zirvon: ready');
    markReady(window.zirvon);
    // The audio is made now, so that Play has only to resume it.
    audio.prepare().catch((error) => showSummary(el.status, `no sound: ${error.message}`, true));
}

start().catch((error) => {
    byId('summary').textContent = `zirvon could not start: ${error.message}`;
    markFailed(error);
});
