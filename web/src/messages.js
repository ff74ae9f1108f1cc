// The problems of the last compile or run, listed below the editor as the
// command line prints them ("3:14: error: ..."), and the summary line.

/** Lists `diagnostics` in `list`, one item each with data-line,
 * data-column and data-severity; `onPick(d)` runs when one is clicked. */
export function showMessages(list, diagnostics, onPick) {
    const items = diagnostics.map((d) => {
        const item = document.createElement('li');
        item.dataset.line = String(d.line);
        item.dataset.column = String(d.column);
        item.dataset.severity = d.severity;
        item.className = `message ${d.severity}`;
        const where = d.line > 0 ? `${d.line}:${d.column}: ` : '';
        item.textContent = `${where}${d.severity}: ${d.message}`;
        if (d.line > 0) {
            item.tabIndex = 0;
            item.addEventListener('click', () => onPick(d));
            item.addEventListener('keydown', (event) => {
                if (event.key === 'Enter') onPick(d);
            });
        }
        return item;
    });
    list.replaceChildren(...items);
}

/** Shows one line of what happened: the summary of a compile, or the
 * error that stopped a run, marked as such. */
export function showSummary(element, text, failed = false) {
    element.textContent = text;
    element.classList.toggle('failed', failed);
}
