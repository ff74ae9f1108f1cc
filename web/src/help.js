// The Help panel, whose text the build puts into the page from the manual:
// the Help button opens and closes it, and so do its own close button and
// Escape.

export function wireHelp(button, panel, close) {
    const show = (open) => {
        panel.hidden = !open;
        button.setAttribute('aria-expanded', String(open));
    };
    button.addEventListener('click', () => show(panel.hidden));
    close.addEventListener('click', () => show(false));
    // Escape closes it, and the keyboard goes on from the Help button.
    panel.addEventListener('keydown', (event) => {
        if (event.key !== 'Escape') return;
        show(false);
        button.focus();
    });
}
