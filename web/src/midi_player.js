// The music on a Web MIDI output: the messages of the core's player (api.js
// messages()) handed to the output ahead of time, each with the timestamp
// of its tick (tick n, n x 20 ms after the start), so that the page's
// timers, which wake late and unevenly, decide only how far ahead the
// output is fed, never when a note sounds. It sends what the command
// line's /play sends to a MIDI port: the channels reset as it starts,
// the program changes of the MIDI file, the notes, and the reset again at
// the end; a Stop takes back what the output holds, then all notes off and
// the reset, as /play's interrupt.

import { Player } from './player.js';

const TICK_MS = 20;
/** How far ahead the output is fed: more than a timer wakes late, and as
 * long as a Stop or a toggle may take on an output that cannot take back
 * what it holds (Chromium's has no clear()). */
const AHEAD_MS = 200;
/** A hidden page's timers may wake only once a second. */
const AHEAD_HIDDEN_MS = 2500;
const PUMP_MS = 25;
/** From Play to tick 0: time to hand the first ticks over. */
const LEAD_MS = 40;
const NOTE_OFF = 0x80;
const NOTE_ON = 0x90;
const CONTROL_CHANGE = 0xb0;
const PROGRAM_CHANGE = 0xc0;

/** Calls `wake` every `ms` from a worker's timer, which the browser slows
 * down far less than a hidden page's own (to once a minute after a few
 * minutes: the composer may well be in another window, at the
 * synthesizer); from the page's timer where no worker starts. Returns
 * what stops it. */
function everyMs(ms, wake) {
    let timer = 0;
    const fallBack = () => {
        timer ||= setInterval(wake, ms);
    };
    let worker = null;
    try {
        worker = new Worker(`data:text/javascript,setInterval(() => postMessage(0), ${ms})`);
        worker.onmessage = wake;
        worker.onerror = fallBack;
    } catch {
        fallBack();
    }
    return () => {
        worker?.terminate();
        clearInterval(timer);
    };
}

/** Controllers on channels 0 to 15, each channel's in the order given. */
function everyChannel(...controllers) {
    const messages = [];
    for (let channel = 0; channel < 16; channel++) {
        for (const controller of controllers) messages.push([0xb0 + channel, controller, 0]);
    }
    return messages;
}

/** Reset all controllers, then all notes off: what /play sends as it opens
 * and closes a port. */
const RESET = everyChannel(121, 123);
/** All notes off: what /play sends when it is interrupted. */
const NOTES_OFF = everyChannel(123);

export class MidiPlayer extends Player {
    /** `onError(message)` hears of an output that went away. */
    constructor(calls, onError) {
        super(null);
        this.calls = calls;
        this.onError = onError;
        this.output = null;
        this.song = null;
        this.stopTimer = () => {};
        this.horizon = 0; // the latest timestamp handed to the output
        this.ahead = []; // every message decided whose time is to come, heard or not: {data, time, turn}
        this.held = new Map(); // the keys held for entry: note -> the status of its note-on
    }

    /** Plays on `output` (a MIDIOutput) from now on; keys held are let go
     * where they sound. */
    use(output) {
        this.stop();
        try {
            for (const [note, status] of this.held) this.output?.send([NOTE_OFF | (status & 0x0f), note, 127]);
        } catch {
            // The output has gone, and its notes with it.
        }
        this.held.clear();
        this.output = output;
        this.horizon = 0;
    }

    start(plan, loop) {
        this.stopTimer();
        const pending = this.horizon > performance.now();
        const cleared = pending && this.takeBack();
        const song = this.calls.messages(plan);
        if (!song) throw new Error('the image cannot be read');
        this.serial++;
        this.song = song;
        this.passage = plan.passage;
        this.blocks = plan.blocks;
        this.loop = loop;
        this.audible = plan.passage.audible;
        this.programmed = 0; // the tracks whose program change has gone
        this.programs = []; // each track's program change, where it has one
        for (let i = 0; i < song.ticks.length && song.ticks[i] === 0; i++) {
            const status = song.bytes[3 * i];
            if ((status & 0xf0) === PROGRAM_CHANGE) this.programs[status & 0x0f] = [status, song.bytes[3 * i + 1]];
        }
        this.sounding = new Array(16).fill(-1); // the note each channel's track plays, heard or not
        this.next = 0; // the next message of the turn
        this.turn = 0;
        this.scheduled = -1; // the last tick handed over
        this.ahead = [];
        this.ended = false;
        this.lastTick = 0;
        // What an output that cannot take it back still holds plays first.
        this.startTime = Math.max(performance.now() + LEAD_MS, pending && !cleared ? this.horizon : 0);
        this.playing = true;
        for (const message of RESET) this.handOver(message, this.startTime);
        this.pump();
        if (this.playing) this.stopTimer = everyMs(PUMP_MS, () => this.pump());
    }

    stop() {
        this.stopTimer();
        if (!this.playing) return;
        this.lastTick = this.position().tick;
        if (!this.playing) return; // it had ended, and has been reset
        this.playing = false;
        try {
            const cleared = this.takeBack();
            const now = performance.now();
            this.sendAll(NOTES_OFF, now);
            this.sendAll(RESET, now);
            // What the output holds still comes: silence it after that too.
            if (!cleared && this.horizon > now) {
                this.sendAll(NOTES_OFF, this.horizon);
                this.sendAll(RESET, this.horizon);
            }
        } catch (error) {
            this.fail(error);
        }
    }

    /** With the loop off, the music ends with the turn heard, as on the
     * synthesizer: a turn handed over ahead of its time is taken back where
     * the output can (elsewhere it plays, as all the output holds does). */
    setLoop(loop) {
        this.loop = loop;
        if (loop || !this.playing || this.turn === 0 || typeof this.output.clear !== 'function') return;
        const now = performance.now();
        if (this.timeOf(this.turn * this.song.length) <= now) return;
        try {
            this.output.clear();
            this.horizon = 0;
            const coming = this.ahead.filter((m) => m.time > now && m.turn < this.turn);
            // Back to the end of the turn heard, whose closing note-offs end every note.
            this.turn--;
            this.next = this.song.ticks.length;
            this.scheduled = (this.turn + 1) * this.song.length;
            this.sounding.fill(-1);
            this.ahead = [];
            for (const m of coming) this.handOver(m.data, m.time, m.turn);
        } catch (error) {
            this.fail(error);
        }
    }

    /** The tracks heard from now on, as with the synthesizer: a track
     * silenced has its note ended, one heard again gets its program and
     * sounds from its next note. An output that cannot take back what it
     * holds plays that first: there they are heard from the first tick not
     * yet handed over. */
    setAudible(audible) {
        try {
            if (!this.playing) {
                // Nothing plays.
            } else if (typeof this.output.clear === 'function') {
                this.rehear(audible);
            } else {
                this.hearFrom(this.timeOf(this.scheduled + 1), this.sounding, audible);
            }
        } catch (error) {
            this.fail(error);
        }
        this.audible = audible;
    }

    /** Ends at `time` the notes (`sounding`) of the tracks that `audible`
     * silences, and gives those it brings back their programs. */
    hearFrom(time, sounding, audible) {
        for (let k = 1; k <= 8; k++) {
            const bit = 1 << k;
            if ((this.audible & bit) && !(audible & bit) && sounding[k] >= 0) {
                this.send([NOTE_OFF + k, sounding[k], 127], time);
            }
            if (!(this.audible & bit) && (audible & bit) && this.programs[k] && !(this.programmed & bit)) {
                this.sendProgram(k, time);
            }
        }
    }

    /** Takes back what the output holds and hands it over again for the
     * tracks `audible` hears, from now. */
    rehear(audible) {
        const now = performance.now();
        this.output.clear();
        this.horizon = 0;
        const coming = this.ahead.filter((m) => m.time > now);
        // The note each track sounds now: the last decided, before what is to come.
        const sounding = this.sounding.slice();
        for (const { data } of [...coming].reverse()) {
            if ((data[0] & 0xf0) === NOTE_ON) sounding[data[0] & 0x0f] = -1;
            if ((data[0] & 0xf0) === NOTE_OFF) sounding[data[0] & 0x0f] = data[1];
        }
        for (const { data } of coming) {
            if ((data[0] & 0xf0) === PROGRAM_CHANGE) this.programmed &= ~(1 << (data[0] & 0x0f));
        }
        this.hearFrom(now, sounding, audible);
        this.audible = audible;
        this.ahead = [];
        for (const m of coming) this.handOver(m.data, m.time, m.turn);
    }

    /** A key held for entry: its note-on or note-off, at once; the note-off
     * of a key let go already goes nowhere. */
    key(status, note) {
        if ((status & 0xf0) === NOTE_ON) this.held.set(note, status);
        else if (!this.held.delete(note)) return;
        this.output?.send([status, note, 127]);
    }

    heard() {}

    position() {
        if (this.playing) {
            const elapsed = Math.max(0, Math.floor((performance.now() - this.startTime) / TICK_MS));
            const length = this.length();
            if (this.ended && elapsed >= this.endTick) {
                this.lastTick = length;
                this.finish();
            } else {
                this.lastTick = length > 0 ? elapsed % length : 0;
            }
        }
        return { playing: this.playing, tick: this.lastTick, block: this.blockOf(this.lastTick) };
    }

    timeOf(tick) {
        return this.startTime + tick * TICK_MS;
    }

    /** Feeds the output up to the tick the time ahead reaches. */
    pump() {
        if (!this.playing) return;
        try {
            const now = performance.now();
            if (this.ended && now >= this.timeOf(this.endTick)) {
                this.finish();
                return;
            }
            this.ahead = this.ahead.filter((m) => m.time > now);
            const ahead = document.hidden ? AHEAD_HIDDEN_MS : AHEAD_MS;
            this.schedule(Math.floor((now + ahead - this.startTime) / TICK_MS));
        } catch (error) {
            this.fail(error);
        }
    }

    /** Hands over every message up to tick `last` (counted over the turns). */
    schedule(last) {
        const { ticks, bytes, length } = this.song;
        for (;;) {
            if (this.next === ticks.length) {
                // The closing tick of a turn is the next turn's tick 0.
                this.ended = !this.loop || length === 0;
                if (this.ended) {
                    this.endTick = this.turn * length + length;
                    break;
                }
                this.turn++;
                this.next = 0;
            }
            const tick = this.turn * length + ticks[this.next];
            if (tick > last) break;
            this.deliver(bytes[3 * this.next], bytes[3 * this.next + 1], bytes[3 * this.next + 2], this.timeOf(tick));
            this.next++;
        }
        this.scheduled = Math.max(this.scheduled, last);
    }

    deliver(status, data1, data2, time) {
        const k = status & 0x0f;
        const kind = status & 0xf0;
        if (kind === NOTE_ON) this.sounding[k] = data1;
        if (kind === NOTE_OFF && this.sounding[k] === data1) this.sounding[k] = -1;
        this.handOver(kind === PROGRAM_CHANGE ? [status, data1] : [status, data1, data2], time);
    }

    /** Sends a message decided for `time` (in turn `turn` of a loop) if its
     * track is heard, and keeps it while its time is to come. */
    handOver(data, time, turn = this.turn) {
        this.ahead.push({ data, time, turn });
        const k = data[0] & 0x0f;
        const kind = data[0] & 0xf0;
        if (kind !== CONTROL_CHANGE && !(this.audible & (1 << k))) return;
        if (kind === PROGRAM_CHANGE) {
            // Once, whatever the turns of a loop.
            if (!(this.programmed & (1 << k))) this.sendProgram(k, time);
            return;
        }
        this.send(data, time);
    }

    sendProgram(k, time) {
        this.send(this.programs[k], time);
        this.programmed |= 1 << k;
    }

    /** The passage has played out: the channels reset, as /play closes. */
    finish() {
        this.stopTimer();
        this.playing = false;
        try {
            this.sendAll(RESET, Math.max(performance.now(), this.timeOf(this.endTick)));
        } catch (error) {
            this.fail(error);
        }
    }

    /** Takes back what the output holds, where it can: true if it did. */
    takeBack() {
        if (typeof this.output?.clear !== 'function') return false;
        this.output.clear();
        this.horizon = 0;
        return true;
    }

    send(data, time) {
        this.output.send(data, time);
        this.horizon = Math.max(this.horizon, time);
    }

    sendAll(messages, time) {
        for (const message of messages) this.send(message, time);
    }

    fail(error) {
        this.stopTimer();
        this.playing = false;
        this.onError(`the MIDI output ${this.output?.name ?? ''} failed: ${error.message}`);
    }
}
