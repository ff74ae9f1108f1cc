// The piano roll: the picture /svg draws, shown as it is, with a playhead
// over it. The picture's rows (<g class="row" data-start data-end>, their
// frame first) say where each tick stands: two pixels a tick from the left
// edge of its row's frame. The picture is drawn to the pane's height, so
// that a row, and every track in it, shows without scrolling; a click on a
// note or on the time axis under a row is passed on.

const SVG = 'http://www.w3.org/2000/svg';
const TICK_WIDTH = 2;
/** The time axis's labels under a row's frame, in the picture's pixels. */
const AXIS_HEIGHT = 22;
/** Below this the picture's words cannot be read: the pane scrolls instead. */
const SMALLEST = 0.3;
/** Room for a scroll bar across the pane. */
const SCROLL_BAR = 16;

export class RollView {
    constructor(container) {
        this.container = container;
        this.rows = [];
        this.head = null;
        this.notes = []; // the picture's notes and their places, when known
        this.origin = 0; // the song's tick of the picture's first
        this.scale = 1;
        this.onNote = () => {};
        this.onTime = () => {};
        new ResizeObserver(() => this.fit()).observe(container);
        container.addEventListener('click', (event) => this.clicked(event));
    }

    /** Shows the picture `svg` (the text of an SVG file), whose notes are
     * `notes` (as the roll call gives them) and whose tick 0 is the song's
     * tick `origin`. */
    show(svg, notes = [], origin = 0) {
        this.notes = notes;
        this.origin = origin;
        this.container.classList.remove('stale');
        this.container.innerHTML = svg.replace(/^<\?xml[^>]*>\s*/, '');
        const picture = this.container.querySelector('svg');
        // One image to a screen reader, named as the picture names itself.
        const title = picture.querySelector('title')?.textContent;
        this.container.setAttribute('aria-label', title ? `Piano roll: ${title}` : 'Piano roll');
        this.rows = [...picture.querySelectorAll('g.row')].map((row) => {
            const frame = row.querySelector('rect');
            return {
                start: Number(row.dataset.start),
                end: Number(row.dataset.end),
                left: Number(frame.getAttribute('x')) + 0.5,
                top: Number(frame.getAttribute('y')),
                bottom: Number(frame.getAttribute('y')) + Number(frame.getAttribute('height')),
            };
        });
        this.head = document.createElementNS(SVG, 'line');
        this.head.id = 'playhead';
        this.head.setAttribute('stroke', '#d00000');
        this.head.setAttribute('stroke-width', '2');
        this.head.style.display = 'none';
        picture.append(this.head);
        this.fit();
    }

    /** Draws the picture as tall as the pane, or as tall as one row of it
     * when it has several, and never larger than it is. */
    fit() {
        const picture = this.container.querySelector('svg');
        if (!picture) return;
        const [, , width, height] = picture.getAttribute('viewBox').split(/\s+/).map(Number);
        const rowHeight = height / Math.max(1, this.rows.length);
        const room = this.container.clientHeight - SCROLL_BAR;
        this.scale = Math.max(SMALLEST, Math.min(1, room / rowHeight));
        picture.setAttribute('width', String(Math.round(width * this.scale)));
        picture.setAttribute('height', String(Math.round(height * this.scale)));
    }

    /** A note clicked: its place in the source; the time axis: play from there. */
    clicked(event) {
        const picture = this.container.querySelector('svg');
        if (!picture) return;
        const note = event.target.closest?.('.note');
        // A picture out of date has notes whose places the text has lost.
        if (note && !this.container.classList.contains('stale')) {
            const track = Number(note.dataset.track);
            const tick = Number(note.dataset.tick);
            const found = this.notes.find((n) => n.track === track && n.on === tick);
            if (found) this.onNote(found);
        }
        if (note) return;
        const point = new DOMPoint(event.clientX, event.clientY).matrixTransform(picture.getScreenCTM().inverse());
        const row = this.rows.find((r) => point.y >= r.bottom && point.y <= r.bottom + AXIS_HEIGHT);
        if (!row || point.x < row.left) return;
        const tick = row.start + Math.floor((point.x - row.left) / TICK_WIDTH);
        if (tick <= row.end) this.onTime(this.origin + tick);
    }

    /** Marks the picture shown as out of date: the text has changed into
     * one that does not compile. */
    markStale() {
        if (this.container.firstElementChild) this.container.classList.add('stale');
    }

    /** Takes the picture away: it is of another file. */
    clear() {
        this.notes = [];
        this.container.classList.remove('stale');
        this.container.replaceChildren();
        this.rows = [];
        this.head = null;
    }

    /** Puts the playhead on passage tick `tick`, or hides it with null,
     * and keeps it in sight. */
    moveHead(tick) {
        if (!this.head) return;
        const row = tick === null ? null : this.rows.find((r) => tick < r.end) ?? this.rows.at(-1);
        if (!row) {
            this.head.style.display = 'none';
            return;
        }
        const x = row.left + (Math.min(tick, row.end) - row.start) * TICK_WIDTH;
        for (const [name, value] of [['x1', x], ['x2', x], ['y1', row.top], ['y2', row.bottom]]) {
            this.head.setAttribute(name, String(value));
        }
        this.head.style.display = '';
        this.keepInSight(x, row);
    }

    keepInSight(x, row) {
        const box = this.container;
        [x, row] = [x * this.scale, { top: row.top * this.scale, bottom: row.bottom * this.scale }];
        if (row.top < box.scrollTop || row.bottom > box.scrollTop + box.clientHeight) {
            box.scrollTop = Math.max(0, row.top - 40);
        }
        if (x < box.scrollLeft || x > box.scrollLeft + box.clientWidth - 20) {
            box.scrollLeft = Math.max(0, x - 40);
        }
    }
}
