// The MML editor: CodeMirror with line numbers, the colours of MML, the
// problems of the last compile marked where they are, and the notes that
// sound lit up. A source keeps its bytes: lines are split at LF only, so a
// CR stays in its line as the compiler sees it.

import { defaultKeymap, history, historyKeymap, indentWithTab } from '@codemirror/commands';
import { bracketMatching } from '@codemirror/language';
import { lintGutter, setDiagnostics } from '@codemirror/lint';
import { EditorState } from '@codemirror/state';
import {
    EditorView, drawSelection, highlightActiveLine, highlightActiveLineGutter, highlightSpecialChars,
    keymap, lineNumbers,
} from '@codemirror/view';

import { columnOfOffset, offsetOfColumn } from './columns.js';
import { mmlHighlighting } from './mml_language.js';
import { soundingNotes } from './sounding.js';

/** A CR at the end of a line (a CR LF source) shows as nothing; other
 * control characters as the usual placeholder. */
function renderSpecial(code, description, placeholder) {
    const span = document.createElement('span');
    span.className = 'cm-specialChar';
    span.title = description;
    if (code !== 13) span.textContent = placeholder;
    return span;
}

/** Creates the editor in `parent`. `onChange(view)` runs after every change
 * of the text; `keys` are key bindings that come before the editor's own. */
export function createEditor(parent, { doc, onChange, keys }) {
    const state = EditorState.create({
        doc,
        extensions: [
            EditorState.lineSeparator.of('\n'),
            keymap.of(keys),
            lineNumbers(),
            highlightActiveLineGutter(),
            highlightSpecialChars({ render: renderSpecial }),
            history(),
            drawSelection(),
            highlightActiveLine(),
            bracketMatching(),
            mmlHighlighting,
            lintGutter(),
            soundingNotes,
            keymap.of([...defaultKeymap, ...historyKeymap, indentWithTab]),
            EditorView.contentAttributes.of({ 'aria-label': 'MML source', spellcheck: 'false' }),
            EditorView.updateListener.of((update) => {
                if (update.docChanged) onChange(update.view);
            }),
        ],
    });
    return new EditorView({ state, parent });
}

/** The editor's document offsets of a place the compiler gives: line (from
 * 1) and byte columns [column, end). */
export function rangeOf(doc, line, column, end) {
    if (line < 1 || line > doc.lines) return null;
    const text = doc.line(line);
    const from = text.from + offsetOfColumn(text.text, column);
    const to = Math.max(from, text.from + offsetOfColumn(text.text, Math.max(end, column)));
    return { from, to };
}

/** Line and byte column (both from 1) of a document offset. */
export function placeOf(doc, offset) {
    const line = doc.lineAt(offset);
    return { line: line.number, column: columnOfOffset(line.text, offset - line.from) };
}

const LINT_SEVERITY = { error: 'error', warning: 'warning', note: 'info' };

/** Marks the problems of a compile: each at its place, with its message
 * on hover; problems of the whole file are only listed below. */
export function markProblems(view, diagnostics) {
    const marks = [];
    for (const d of diagnostics) {
        const range = rangeOf(view.state.doc, d.line, d.column, d.end);
        if (!range) continue;
        marks.push({ ...range, severity: LINT_SEVERITY[d.severity], message: d.message, source: d.code });
    }
    view.dispatch(setDiagnostics(view.state, marks));
}

/** Replaces the whole text, as a file or an example opened does. */
export function replaceText(view, text) {
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text }, selection: { anchor: 0 } });
}
