// The notes that sound, lit up in the editor while the song plays. The
// notes of what plays are kept with their places in the text, and follow
// the text as it is edited meanwhile.

import { StateEffect, StateField } from '@codemirror/state';
import { Decoration, EditorView } from '@codemirror/view';

const setNotes = StateEffect.define();
const setLit = StateEffect.define();

const notesField = StateField.define({
    create: () => [],
    update(notes, tr) {
        for (const effect of tr.effects) if (effect.is(setNotes)) notes = effect.value;
        if (!tr.docChanged || notes.length === 0) return notes;
        return notes.map((n) => ({ ...n, from: tr.changes.mapPos(n.from, 1), to: tr.changes.mapPos(n.to, -1) }));
    },
});

const marks = Array.from({ length: 9 }, (_, k) => Decoration.mark({ class: `zv-sounding zv-track-${k}` }));

const litField = StateField.define({
    create: () => Decoration.none,
    update(lit, tr) {
        lit = lit.map(tr.changes);
        for (const effect of tr.effects) {
            if (!effect.is(setLit)) continue;
            const ranges = effect.value
                .filter((n) => n.to > n.from)
                .map((n) => marks[n.track].range(n.from, n.to));
            lit = Decoration.set(ranges, true);
        }
        return lit;
    },
    provide: (field) => EditorView.decorations.from(field),
});

export const soundingNotes = [notesField, litField];

/** Keeps `notes` ({track, on, off, from, to}: passage ticks and offsets in
 * the text) as the notes of what plays; none lights up yet. */
export function keepNotes(view, notes) {
    view.dispatch({ effects: [setNotes.of(notes), setLit.of([])] });
}

/** The notes kept, with their places as the text now stands. */
export function keptNotes(view) {
    return view.state.field(notesField);
}

/** Lights up the kept notes at `indexes`, and no other. */
export function lightNotes(view, indexes) {
    const notes = keptNotes(view);
    view.dispatch({ effects: setLit.of(indexes.map((i) => notes[i])) });
}
