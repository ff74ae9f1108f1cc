// Notes typed from a MIDI keyboard (Web MIDI input): each key pressed puts
// the MML of its note at the cursor, in the length chosen, as one change
// that Undo takes back whole; keys pressed together make one entry (the
// core enters the lowest and says so), and Rest enters a rest. The text
// comes from the core, which reads the octave and length in force at the
// cursor as the compiler does. A key sounds on the chosen output while it
// is held. The browser is asked for its MIDI inputs only when entry is
// switched on.

import { isolateHistory } from '@codemirror/commands';

import { midiAccess } from './outputs.js';

/** How far apart keys may go down and still be pressed together. */
const TOGETHER_MS = 40;
const NOTE_OFF = 0x80;
const NOTE_ON = 0x90;

const encoder = new TextEncoder();
const decoder = new TextDecoder();

export class KeyEntry {
    /** `toggle` switches entry on and off, `length` is the length chosen,
     * `rest` enters a rest and `state` says what entry is doing; the keys
     * sound on `transport`'s player. */
    constructor({ page, calls, transport, toggle, length, rest, state }) {
        Object.assign(this, { page, calls, transport, toggle, length, rest, state });
        this.access = null;
        this.pressed = []; // keys down within TOGETHER_MS of the first
        this.timer = 0;
        this.track = 1; // the track the cursor was in at the last entry
        // key -> {on, player}: the status of its note-on and the player it sounds on, which lets it go
        // even when the output has changed meanwhile.
        this.sounding = new Map();
        this.listened = new Set();
        toggle.addEventListener('change', () => (toggle.checked ? this.start() : this.stop()));
        rest.addEventListener('click', () => this.enter([]));
    }

    async start() {
        try {
            this.access ??= await midiAccess();
        } catch (error) {
            this.toggle.checked = false;
            this.say(`no MIDI keyboard: ${error.message}`);
            return;
        }
        if (!this.toggle.checked) return;
        if (!this.watching) this.access.addEventListener('statechange', () => this.listen());
        this.watching = true;
        this.rest.disabled = false;
        this.listen();
    }

    stop() {
        // Keys still gathering into one entry are let go with the rest.
        clearTimeout(this.timer);
        this.timer = 0;
        this.pressed = [];
        for (const input of this.listened) input.onmidimessage = null;
        this.listened.clear();
        for (const [key, { on, player }] of this.sounding) player.key(NOTE_OFF | (on & 0x0f), key);
        this.sounding.clear();
        this.rest.disabled = true;
        this.say('');
    }

    /** Listens to every input the system has now. */
    listen() {
        if (!this.toggle.checked) return;
        const inputs = [...this.access.inputs.values()].filter((i) => i.state !== 'disconnected');
        for (const input of inputs) {
            // Setting the handler opens the port.
            input.onmidimessage = (event) => this.heard(event.data);
            this.listened.add(input);
        }
        this.say(inputs.length ? `keys from ${inputs.map((i) => i.name).join(', ')}` :
            'no MIDI keyboard: plug one in');
    }

    heard([status, key, velocity]) {
        const kind = status & 0xf0;
        if (kind === NOTE_ON && velocity > 0) {
            const on = NOTE_ON | (this.track >= 1 && this.track <= 8 ? this.track : 1);
            const player = this.transport.player;
            this.sounding.set(key, { on, player });
            player.key(on, key);
            this.pressed.push(key);
            this.timer ||= setTimeout(() => {
                const keys = this.pressed;
                this.pressed = [];
                this.timer = 0;
                this.enter(keys);
            }, TOGETHER_MS);
        } else if (kind === NOTE_OFF || kind === NOTE_ON) {
            const held = this.sounding.get(key);
            if (held === undefined) return;
            this.sounding.delete(key);
            held.player.key(NOTE_OFF | (held.on & 0x0f), key);
        }
    }

    /** Puts the entry of `keys` (none: a rest) at the cursor. */
    enter(keys) {
        const page = this.page;
        if (page.image) {
            this.say('a tape image is open: Back to the MML to enter notes');
            return;
        }
        const view = page.view;
        const text = view.state.doc.toString();
        const head = view.state.selection.main.head;
        const source = encoder.encode(text);
        const entry = this.calls.keyEntry(source, encoder.encode(text.slice(0, head)).length, keys, this.length.value);
        if (entry.error) {
            this.say(entry.error);
            return;
        }
        const at = decoder.decode(source.subarray(0, entry.offset)).length;
        view.dispatch({
            changes: { from: at, insert: entry.text },
            selection: { anchor: at + entry.text.length },
            annotations: isolateHistory.of('full'),
            userEvent: 'input.keys',
            scrollIntoView: true,
        });
        this.track = entry.track;
        this.say(entry.note || `${entry.text.trim()} on track ${entry.track}`);
    }

    say(text) {
        this.state.textContent = text;
    }
}
