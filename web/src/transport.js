// Play, Stop, Play from the cursor, Play the selection and Loop, and what
// follows the music while it plays: the playhead on the piano roll, the
// notes that sound lit up in the editor, and the time in the status line.

import { placeOf, rangeOf } from './editor.js';
import { showSummary } from './messages.js';
import { keepNotes, keptNotes, lightNotes } from './sounding.js';
import { audibleTracks } from './tracks.js';

const TICKS_PER_SECOND = 50;

function clock(ticks) {
    const seconds = Math.floor(ticks / TICKS_PER_SECOND);
    return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

/** Where in the source a passage starts and ends: the command line's
 * line:L:C of the cursor, or of the selection's first and last character
 * (blanks at its end left out), or the cursor's whole line when nothing is
 * selected. */
export function passageOf(view, what) {
    if (what === 'song') return {};
    const { from, to, head } = view.state.selection.main;
    const at = (offset) => {
        const { line, column } = placeOf(view.state.doc, offset);
        return `line:${line}:${column}`;
    };
    if (what === 'cursor') return { from: at(head) };
    if (from === to) {
        const line = view.state.doc.lineAt(head).number;
        return { from: `line:${line}`, to: `line:${line}` };
    }
    // A selection of whole lines ends after a line break: its last note is before it.
    let end = to;
    while (end > from + 1 && /\s/.test(view.state.doc.sliceString(end - 1, end))) end--;
    return { from: at(from), to: at(end - 1) };
}

export class Transport {
    constructor({ page, player, roll, elements }) {
        this.page = page;
        this.player = player;
        this.roll = roll;
        this.el = elements;
        this.frame = 0;
        this.lit = '';
        this.notesByTrack = [];
        this.audible = 0; // the tracks heard now (bit k: track k)
    }

    /** Plays 'song', 'cursor' or 'selection', with `extra` options (a
     * /from of its own). */
    async play(what, extra = {}) {
        performance.mark('zirvon: play');
        const page = this.page;
        const options = page.options({ ...(page.image ? {} : passageOf(page.view, what)), ...extra });
        const source = page.source();
        const plan = page.calls.play(source, options);
        page.showRun(plan);
        if (!plan.ok) {
            showSummary(this.el.summary, plan.message, true);
            return;
        }
        // Around errors elsewhere in the song, the summary says none is in what plays.
        if (plan.summary) showSummary(this.el.summary, plan.summary, plan.diagnostics.some((d) => d.severity === 'error'));
        page.busy = true;
        this.audible = plan.passage.audible;
        // Sound first; the picture and the notes to light up come after.
        try {
            await this.player.start(plan, this.el.loop.checked);
        } catch (error) {
            this.player.stop();
            this.finish();
            showSummary(this.el.summary, `no sound: ${error.message}`, true);
            return;
        }
        this.el.status.textContent = '';
        const roll = page.calls.roll(source, options);
        if (roll.ok) {
            this.roll.show(roll.svg, roll.notes, plan.passage.start);
            this.follow(roll.notes);
        }
        this.tick();
    }

    stop() {
        this.player.stop();
        this.finish();
    }

    toggle() {
        if (this.player.position().playing) this.stop();
        else this.play('song');
    }

    /** Keeps the notes of what plays, by track and in time order, with
     * their places in the text. */
    follow(notes) {
        const view = this.page.view;
        const kept = this.page.image ? [] : notes.map((n) => ({ ...n, ...(rangeOf(view.state.doc, n.line, n.column, n.end) ?? { from: 0, to: 0 }) }));
        keepNotes(view, kept);
        this.notesByTrack = Array.from({ length: 9 }, () => []);
        kept.forEach((n, i) => this.notesByTrack[n.track].push(i));
        this.lit = '';
    }

    /** The notes sounding on passage tick `tick`: on each track heard now
     * the last to start at or before it, if it has not ended. */
    sounding(tick) {
        const notes = keptNotes(this.page.view);
        const found = [];
        for (const [track, indexes] of this.notesByTrack.entries()) {
            if (!(this.audible & (1 << track))) continue;
            let low = 0;
            let high = indexes.length;
            while (low < high) {
                const middle = (low + high) >> 1;
                if (notes[indexes[middle]].on <= tick) low = middle + 1;
                else high = middle;
            }
            if (low > 0 && notes[indexes[low - 1]].off > tick) found.push(indexes[low - 1]);
        }
        return found;
    }

    /** One animation frame while the music plays. */
    tick() {
        cancelAnimationFrame(this.frame);
        const position = this.player.position();
        if (!position.playing) {
            this.finish();
            return;
        }
        this.roll.moveHead(position.tick);
        const sounding = this.sounding(position.tick);
        const key = sounding.join(',');
        if (key !== this.lit) {
            lightNotes(this.page.view, sounding);
            this.lit = key;
        }
        const blocks = this.player.blocks.length;
        this.el.status.textContent =
            `block ${position.block}/${blocks}  ${clock(position.tick)} / ${clock(this.player.length())}`;
        this.frame = requestAnimationFrame(() => this.tick());
    }

    /** The music has stopped or ended: nothing is lit, the head goes. */
    finish() {
        cancelAnimationFrame(this.frame);
        if (this.lit !== '') lightNotes(this.page.view, []);
        this.lit = '';
        this.roll.moveHead(null);
        this.el.status.textContent = '';
        this.page.busy = false;
    }

    /** A toggle was pressed: what plays is heard with the new tracks at once. */
    tracksChanged() {
        if (!this.player.position().playing) return;
        this.audible = audibleTracks(this.el.tracks);
        this.player.setAudible(this.audible);
    }
}
