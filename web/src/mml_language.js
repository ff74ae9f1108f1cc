// The colours of MML in the editor: a line-by-line tokenizer that reads the
// source as the compiler does (blocks n[ ... ] on one line, `;` comments,
// text outside blocks a comment but for its digits, which count).

import { HighlightStyle, StreamLanguage, syntaxHighlighting } from '@codemirror/language';
import { tags } from '@lezer/highlight';

const NOTE = /^[A-Ga-g][#+\-0-9.%]*/;
const REST = /^[Rr][#+\-0-9.%]*/;
const PARAMETER = /^[LOQloq][0-9]*/;

function tokenInBlock(stream, state) {
    if (stream.eatSpace()) return null;
    if (stream.peek() === ']') {
        stream.next();
        state.inBlock = false;
        return 'bracket';
    }
    // A new block inside an open one (the open one then has no sync mark).
    if (stream.match(/^[0-9]*\[/)) return 'typeName';
    if (stream.match(NOTE)) return 'atom';
    if (stream.match(REST)) return 'null';
    if (stream.match(PARAMETER)) return 'keyword';
    if (stream.match(/^[0-9]+/)) return 'number';
    if (stream.match(/^[<>]+/)) return 'operator';
    if (stream.match(/^[&.%]/)) return 'operator';
    stream.next();
    return 'invalid';
}

function tokenOutside(stream, state) {
    // Digits just before `[` name the track; others count towards it, so
    // they show as numbers wherever they stand.
    if (stream.match(/^[0-9]*\[/)) {
        state.inBlock = true;
        return 'typeName';
    }
    if (stream.match(/^[0-9]+/)) return 'number';
    stream.match(/^[^0-9[;]+/) || stream.next();
    return 'comment';
}

export const mml = StreamLanguage.define({
    name: 'mml',
    startState: () => ({ inBlock: false }),
    copyState: (state) => ({ ...state }),
    token(stream, state) {
        // Every line starts afresh: a block never runs on to the next one.
        if (stream.sol()) state.inBlock = false;
        if (stream.peek() === ';') {
            stream.skipToEnd();
            return 'lineComment';
        }
        return state.inBlock ? tokenInBlock(stream, state) : tokenOutside(stream, state);
    },
    languageData: { commentTokens: { line: ';' } },
});

const style = HighlightStyle.define([
    { tag: tags.comment, color: 'var(--mml-comment)', fontStyle: 'italic' },
    { tag: tags.lineComment, color: 'var(--mml-comment)', fontStyle: 'italic' },
    { tag: tags.typeName, color: 'var(--mml-name)', fontWeight: 'bold' },
    { tag: tags.atom, color: 'var(--mml-note)' },
    { tag: tags.null, color: 'var(--mml-rest)' },
    { tag: tags.keyword, color: 'var(--mml-keyword)' },
    { tag: tags.number, color: 'var(--mml-number)' },
    { tag: tags.operator, color: 'var(--mml-name)' },
    { tag: tags.bracket, color: 'var(--mml-name)', fontWeight: 'bold' },
    { tag: tags.invalid, color: 'var(--mml-keyword)', textDecoration: 'underline dotted' },
]);

export const mmlHighlighting = [mml, syntaxHighlighting(style)];
