// The Solo and Mute toggles of tracks 1 to 8, read as the command line's
// /solo= or /mute=: soloed tracks alone are heard, muted ones never.

const TRACKS = [1, 2, 3, 4, 5, 6, 7, 8];
const ALL = 0x1fe;

function pressed(button) {
    return button.getAttribute('aria-pressed') === 'true';
}

/** The tracks heard, as a mask (bit k: track k). */
export function audibleTracks(tracks) {
    const solo = TRACKS.filter((k) => pressed(tracks.solo[k]));
    let mask = solo.length ? solo.reduce((m, k) => m | (1 << k), 0) : ALL;
    for (const k of TRACKS) if (pressed(tracks.mute[k])) mask &= ~(1 << k);
    return mask;
}

function list(mask) {
    return TRACKS.filter((k) => mask & (1 << k)).join(',');
}

/** {} when every track is heard, else {solo} or {mute} as the command
 * line takes them. */
export function trackOptions(tracks) {
    const mask = audibleTracks(tracks);
    if (mask === ALL) return {};
    const solo = TRACKS.some((k) => pressed(tracks.solo[k]));
    return solo && mask !== 0 ? { solo: list(mask) } : { mute: list(ALL & ~mask) };
}

/** Makes the toggles work; `onChange()` runs after each press. */
export function wireTracks(tracks, onChange) {
    for (const button of [...Object.values(tracks.solo), ...Object.values(tracks.mute)]) {
        button.setAttribute('aria-pressed', 'false');
        button.addEventListener('click', () => {
            button.setAttribute('aria-pressed', String(!pressed(button)));
            onChange();
        });
    }
}
