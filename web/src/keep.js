// The composer's work, kept in the browser's storage for this page's
// address: the text, its name and tape name, and whether it is also kept
// elsewhere (opened from a file, an example or a link, downloaded, shared).
// Written on every change and read when the page opens, so that a reload or
// a closed tab loses nothing.

const KEY = 'zirvon.work';

/** The work kept by the last visit: { text, name, tapeName, saved }, or
 * null when there is none (or the browser keeps nothing). */
export function keptWork() {
    try {
        const work = JSON.parse(localStorage.getItem(KEY));
        if (typeof work?.text !== 'string' || typeof work.name !== 'string') return null;
        return { text: work.text, name: work.name, tapeName: String(work.tapeName ?? ''), saved: work.saved === true };
    } catch {
        return null;
    }
}

/** Keeps `work`; false when the browser refuses (storage full or turned off). */
export function keepWork(work) {
    try {
        localStorage.setItem(KEY, JSON.stringify(work));
        return true;
    } catch {
        return false;
    }
}
