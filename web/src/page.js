// The page: the source (MML in the editor, or a tape image and its
// listing), compiled on every change with its problems marked and listed,
// the piano roll, the track toggles, the files in and out, and Share. The
// text is kept in the browser's storage on every change, and never replaced
// unasked while it holds changes kept nowhere else.

import { outputName } from './api.js';
import { markProblems, rangeOf, replaceText } from './editor.js';
import { download, isImageName, isMidiName } from './files.js';
import { showMessages, showSummary } from './messages.js';
import { keepWork } from './keep.js';
import { fragmentOf, holdsSource } from './share.js';
import { trackOptions } from './tracks.js';

/** How long the text must rest before the picture is drawn again: a long
 * song's picture takes longer than a keystroke should. */
const ROLL_DELAY_MS = 300;
/** The longest song the page makes a WAV file of, in ticks: an hour, some
 * 600 MB, which a browser's tab holds whole, twice over while it is handed on. */
const LONGEST_WAV = 60 * 60 * 50;

export class Page {
    constructor({ calls, elements, roll }) {
        this.calls = calls;
        this.el = elements;
        this.roll = roll;
        this.view = null; // the editor, once made
        this.name = 'song.MML';
        this.image = null; // a tape image's bytes, while one is open
        this.rollTimer = 0;
        this.compiling = false;
        this.busy = false; // the player draws its own passage
        this.notice = ''; // about the file opened, shown with each summary
        this.messages = []; // the compile's problems, or those of the image opened
        this.textNames = null; // the MML's name and tape name, while an image is open
        this.savedText = null; // the text as a file, an example, a link or a download holds it
        this.keepFailed = false;
        this.imported = []; // what the import of the MIDI file opened kept and left out
    }

    /** The text in the editor (behind an image's listing too). */
    text() {
        return this.view.state.doc.toString();
    }

    /** The text's name and tape name, while an image is open too. */
    textNamesNow() {
        return this.textNames ?? { name: this.name, tapeName: this.el.tapeName.value };
    }

    /** Whether the text has changes that no file, example, link or
     * download holds. */
    unsaved() {
        return this.text() !== this.savedText;
    }

    /** Whether `name` may replace the text: at once when nothing would be
     * lost, else when the composer says so. */
    mayReplace(name) {
        return !this.unsaved() ||
            window.confirm(`Replace the text in the editor with ${name}? Its changes are kept nowhere else ` +
                '(Cancel, then download .MML to keep them).');
    }

    /** Keeps the text and its names in the browser's storage, and the
     * address, once it holds a shared text, follows them. */
    keep() {
        const names = this.textNamesNow();
        const kept = keepWork({ text: this.text(), ...names, saved: !this.unsaved() });
        if (!kept && !this.keepFailed) {
            showSummary(this.el.status, 'the browser keeps nothing of this page: download .MML to keep the text', true);
        }
        this.keepFailed = !kept;
        if (holdsSource(location.hash)) this.followAddress();
    }

    /** Puts the text into the address again, the latest change last. */
    async followAddress() {
        const text = this.text();
        const fragment = await fragmentOf(text, this.textNamesNow());
        if (text !== this.text() || !holdsSource(location.hash)) return;
        history.replaceState(null, '', fragment);
        if (!this.el.shareLink.hidden) this.el.shareLink.value = location.href;
    }

    /** The source as the calls take it: the text, or the image's bytes. */
    source() {
        return this.image ?? this.view.state.doc.toString();
    }

    /** The options of every call: the name, the tape name and the tracks
     * that the toggles leave to be heard. */
    options(extra = {}) {
        const options = { name: this.name, ...trackOptions(this.el.tracks), ...extra };
        const tapeName = this.el.tapeName.value;
        if (!this.image) options.tapeName = tapeName;
        else if (tapeName !== this.imageTapeName) options.tapeName = tapeName;
        return options;
    }

    /** Compiles the text at once (after the editor's change is done), then
     * draws the picture once typing rests. */
    textChanged() {
        if (this.compiling) return;
        this.compiling = true;
        queueMicrotask(() => {
            this.compiling = false;
            this.compile();
            this.keep();
        });
    }

    compile() {
        if (this.image) return;
        // Measured for the benchmark (web/bench/page_bench.mjs), and for DevTools.
        const start = performance.now();
        const result = this.calls.compile(this.view.state.doc.toString(), this.options());
        markProblems(this.view, result.diagnostics);
        this.messages = [...result.diagnostics, ...this.imported];
        showMessages(this.el.messages, this.messages, (d) => this.reveal(d));
        const summary = result.summary || 'no problems';
        showSummary(this.el.summary, this.notice ? `${summary} \u00b7 ${this.notice}` : summary, !result.ok || this.notice !== '');
        performance.measure('zirvon: compile', { start });
        // Until a text compiles again the picture is of an older one.
        if (!result.ok) this.roll.markStale();
        this.scheduleRoll();
    }

    scheduleRoll() {
        clearTimeout(this.rollTimer);
        this.rollTimer = setTimeout(() => this.drawRoll(), ROLL_DELAY_MS);
    }

    /** The picture of the whole song with the tracks the toggles leave. */
    drawRoll() {
        if (this.busy) return;
        const result = this.calls.roll(this.source(), this.options());
        if (result.ok) this.roll.show(result.svg, this.image ? [] : result.notes);
        else this.roll.markStale();
    }

    /** The source's messages, and after them what a run (Play, a file)
     * warned about the whole of it that they do not say already: a passage
     * with nothing to hear, notes left out, an option. */
    showRun(result) {
        const known = new Set(this.messages.map((d) => d.message));
        const added = result.diagnostics.filter((d) => d.line <= 0 && !known.has(d.message));
        showMessages(this.el.messages, [...this.messages, ...added], (d) => this.reveal(d));
    }

    /** Selects the place of a problem in the editor. */
    reveal(d) {
        const range = rangeOf(this.view.state.doc, d.line, d.column, d.end);
        if (!range) return;
        this.view.dispatch({ selection: { anchor: range.from, head: range.to }, scrollIntoView: true });
        this.view.focus();
    }

    /** Selects the source of a note of the picture (as the roll call
     * gives it), for the keyboard to go on from. */
    revealNote(note) {
        if (this.image) return;
        const range = rangeOf(this.view.state.doc, note.line, note.column, note.end);
        if (!range) return;
        this.view.dispatch({ selection: { anchor: range.from }, scrollIntoView: true });
        this.view.focus();
    }

    /** Opens a file: MML as text in the editor (ask mayReplace() first),
     * an image as its listing. */
    open(name, bytes) {
        if (isImageName(name)) {
            this.imported = [];
            this.openImage(name, bytes);
            return;
        }
        if (isMidiName(name)) {
            this.importMidi(name, bytes);
            return;
        }
        this.imported = [];
        this.openText(name, bytes);
    }

    openText(name, bytes) {
        // The picture is of another file, whether or not this one compiles.
        this.roll.clear();
        // The new text is compiled once it is in, not the old one before.
        this.closeImage({ compile: false });
        this.name = name;
        this.el.fileName.textContent = name;
        let text;
        try {
            text = new TextDecoder('utf-8', { fatal: true }).decode(bytes);
        } catch {
            text = null;
        }
        replaceText(this.view, text ?? new TextDecoder().decode(bytes));
        this.savedText = this.text();
        // The editor holds text: what is not UTF-8 cannot stay as it was.
        this.notice = text === null ? `${name} is not UTF-8: the bytes that are not show as \uFFFD, and stay so` : '';
        // An empty file in place of empty text changes nothing in the editor,
        // and is compiled all the same (once: textChanged() runs one compile).
        this.textChanged();
    }

    /** Opens a MIDI file as the MML that /mml writes of it, named as that
     * file is; what the import kept and left out stays listed below. */
    importMidi(name, bytes) {
        const result = this.calls.importMidi(bytes, { name });
        if (!result.ok) {
            showSummary(this.el.summary, result.message, true);
            return;
        }
        const place = { line: 0, column: 0, end: 0, code: 'import' };
        this.imported = result.lines.map((line) => line.startsWith('warning: ')
            ? { ...place, severity: 'warning', message: line.slice('warning: '.length) }
            : { ...place, severity: 'note', message: line });
        this.openText(`${name.replace(/\.midi?$/i, '')}.MML`, new TextEncoder().encode(result.text));
        // The MML is made here: nothing holds it until it is downloaded.
        this.savedText = null;
    }

    openImage(name, bytes) {
        const result = this.calls.list(bytes, { name });
        showMessages(this.el.messages, result.diagnostics, () => {});
        if (!result.ok) {
            showSummary(this.el.summary, result.message, true);
            return;
        }
        this.textNames ??= { name: this.name, tapeName: this.el.tapeName.value };
        this.image = bytes;
        this.roll.clear();
        this.messages = result.diagnostics;
        this.name = name;
        this.el.fileName.textContent = name;
        this.imageTapeName = result.tapeName;
        this.el.tapeName.value = this.imageTapeName;
        this.el.listing.textContent = new TextDecoder().decode(result.data);
        this.el.imageBar.hidden = this.el.listing.hidden = false;
        this.el.editor.hidden = true;
        this.el.imageName.textContent = name;
        showSummary(this.el.summary, `tape image, ${bytes.length} bytes`);
        this.drawRoll();
    }

    /** Back to the MML in the editor, with the name and tape name it had. */
    closeImage({ compile = true } = {}) {
        if (!this.image) return;
        this.image = null;
        ({ name: this.name, tapeName: this.el.tapeName.value } = this.textNames);
        this.textNames = null;
        this.el.fileName.textContent = this.name;
        this.el.imageBar.hidden = this.el.listing.hidden = true;
        this.el.editor.hidden = false;
        this.roll.clear();
        if (compile) this.compile();
    }

    /** Downloads a file of the source: 'mzt', 'mid', 'wav' or 'svg', or
     * the MML text itself: 'mml'. */
    save(kind) {
        try {
            this.saveFile(kind);
        } catch (error) {
            showSummary(this.el.summary, `${kind.toUpperCase()} not made: ${error.message}`, true);
        }
    }

    saveFile(kind) {
        const extension = `.${kind.toUpperCase()}`;
        if (kind === 'mml') {
            const text = this.text();
            download(outputName(this.textNamesNow().name, extension), text);
            this.savedText = text;
            this.keep();
            return;
        }
        if (kind === 'wav') {
            const plan = this.calls.play(this.source(), this.options());
            if (plan.ok && plan.passage.end - plan.passage.start > LONGEST_WAV) {
                showSummary(this.el.summary, 'the song lasts over an hour: its WAV file is more than a browser ' +
                    'holds well; the program writes it (zirvon song.mml /wav)', true);
                return;
            }
        }
        let result;
        if (kind === 'mzt') {
            result = this.image ? this.calls.image(this.image, this.options()) : this.calls.compile(this.source(), this.options());
        } else {
            result = this.calls.file({ mid: 'midi', wav: 'wav', svg: 'svg' }[kind], this.source(), this.options());
        }
        this.showRun(result);
        if (!result.ok) {
            showSummary(this.el.summary, result.message, true);
            return;
        }
        download(outputName(this.name, extension), result.data);
    }

    /** Puts the source into the address, to be copied and opened anywhere. */
    async share() {
        const text = this.image ? null : this.text();
        if (text === null) {
            showSummary(this.el.summary, 'Share holds MML sources; a tape image is not shared', true);
            return;
        }
        const fragment = await fragmentOf(text, this.textNamesNow());
        history.replaceState(null, '', fragment);
        this.savedText = text;
        this.keep();
        this.el.shareLink.value = location.href;
        this.el.shareLink.hidden = false;
        this.el.shareLink.select();
        try {
            await navigator.clipboard.writeText(location.href);
            showSummary(this.el.summary, 'link copied: it holds the whole source');
        } catch {
            showSummary(this.el.summary, 'the address now holds the whole source: copy it from the field');
        }
    }
}
