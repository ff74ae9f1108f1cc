// The piano roll: the picture /svg draws, shown as it is, with a playhead
// over it. The picture's rows (<g class="row" data-start data-end>, their
// frame first) say where each tick stands: two pixels a tick from the left
// edge of its row's frame.

const SVG = 'http://www.w3.org/2000/svg';
const TICK_WIDTH = 2;

export class RollView {
    constructor(container) {
        this.container = container;
        this.rows = [];
        this.head = null;
    }

    /** Shows the picture `svg` (the text of an SVG file). */
    show(svg) {
        this.container.classList.remove('stale');
        this.container.innerHTML = svg.replace(/^<\?xml[^>]*>\s*/, '');
        const picture = this.container.querySelector('svg');
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
    }

    /** Marks the picture shown as out of date: the text has changed into
     * one that does not compile. */
    markStale() {
        if (this.container.firstElementChild) this.container.classList.add('stale');
    }

    /** Takes the picture away: it is of another file. */
    clear() {
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
        if (row.top < box.scrollTop || row.bottom > box.scrollTop + box.clientHeight) {
            box.scrollTop = Math.max(0, row.top - 40);
        }
        if (x < box.scrollLeft || x > box.scrollLeft + box.clientWidth - 20) {
            box.scrollLeft = Math.max(0, x - 40);
        }
    }
}
