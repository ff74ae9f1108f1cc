// Where the music plays: the built-in synthesizer, or one of the system's
// MIDI outputs through Web MIDI. The browser is asked for MIDI only when the
// composer picks it (or switches keyboard entry on); until then nothing of
// Web MIDI is touched.

let access = null;

/** The browser's MIDI access, asked for once (again after a refusal). */
export function midiAccess() {
    if (typeof navigator.requestMIDIAccess !== 'function') {
        return Promise.reject(new Error('this browser has no Web MIDI'));
    }
    access ??= navigator.requestMIDIAccess().catch((error) => {
        access = null;
        throw error;
    });
    return access;
}

const SYNTH = 'synth';
const ASK = 'midi';

export class OutputChoice {
    /** `select` is the choice; `transport` plays on the player chosen, the
     * synthesizer's `synth` or the MIDI output's `midi`; `complain(text)`
     * says what went wrong. */
    constructor({ select, transport, synth, midi, complain }) {
        Object.assign(this, { select, transport, synth, midi, complain });
        this.access = null;
        select.addEventListener('change', () => this.chosen());
    }

    async chosen() {
        if (this.select.value === ASK) {
            try {
                this.access = await midiAccess();
            } catch (error) {
                this.useSynth(`no MIDI output: ${error.message}`);
                return;
            }
            this.access.addEventListener('statechange', () => this.list());
            this.list();
            if (this.select.value === SYNTH) return;
        }
        if (this.select.value === SYNTH) {
            this.use(this.synth);
            return;
        }
        const output = this.access?.outputs.get(this.select.value);
        if (!output) {
            this.useSynth('that MIDI output has gone: playing on the synthesizer');
            return;
        }
        this.transport.stop();
        this.midi.use(output);
        this.use(this.midi);
    }

    /** The outputs the system has now, the one chosen kept where it stays. */
    list() {
        const chosen = this.select.value;
        const outputs = [...this.access.outputs.values()].filter((o) => o.state !== 'disconnected');
        this.select.replaceChildren(new Option('Synthesizer', SYNTH),
            ...outputs.map((o) => new Option(o.name || o.id, o.id)));
        if (chosen === SYNTH) {
            // Ports come and go (a keyboard plugged in too): the synthesizer stays, unremarked.
            this.select.value = SYNTH;
        } else if (outputs.length === 0) {
            this.useSynth('the system has no MIDI output: playing on the synthesizer');
        } else if (chosen === ASK) {
            this.select.value = outputs[0].id;
        } else if (chosen !== SYNTH && !outputs.some((o) => o.id === chosen)) {
            this.useSynth('the MIDI output has gone: playing on the synthesizer');
        } else {
            this.select.value = chosen;
        }
    }

    useSynth(why) {
        this.select.value = SYNTH;
        this.use(this.synth);
        this.complain(why);
    }

    use(player) {
        if (player === this.transport.player) return;
        this.transport.stop();
        this.transport.player = player;
    }
}
