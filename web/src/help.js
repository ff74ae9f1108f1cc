// The Help panel, whose text the build puts into the page from the manual:
// the Help button opens and closes it, and so does its own close button.

export function wireHelp(button, panel, close) {
    const show = (open) => {
        panel.hidden = !open;
        button.setAttribute('aria-expanded', String(open));
    };
    button.addEventListener('click', () => show(panel.hidden));
    close.addEventListener('click', () => show(false));
}
