// Files in and out: a file opened with the button or dropped on the page,
// and the files the page makes, downloaded under the command line's names.

/** Calls `onFile(name, bytes)` for a file picked with `input` or dropped
 * anywhere on `target`. */
export function acceptFiles(input, target, onFile) {
    const take = async (file) => {
        if (file) onFile(file.name, new Uint8Array(await file.arrayBuffer()));
    };
    input.addEventListener('change', () => {
        take(input.files[0]);
        input.value = '';
    });
    target.addEventListener('dragover', (event) => {
        if (!event.dataTransfer?.types.includes('Files')) return;
        event.preventDefault();
        target.classList.add('dropping');
    });
    target.addEventListener('dragleave', () => target.classList.remove('dropping'));
    target.addEventListener('drop', (event) => {
        target.classList.remove('dropping');
        if (!event.dataTransfer?.files.length) return;
        event.preventDefault();
        take(event.dataTransfer.files[0]);
    });
}

/** Whether a file of this name is a tape image rather than MML. */
export function isImageName(name) {
    return /\.mzt$/i.test(name);
}

/** Whether a file of this name is a Standard MIDI File, to be imported. */
export function isMidiName(name) {
    return /\.midi?$/i.test(name);
}

const TYPES = {
    '.MML': 'text/plain',
    '.MZT': 'application/octet-stream',
    '.MID': 'audio/midi',
    '.WAV': 'audio/wav',
    '.SVG': 'image/svg+xml',
};

/** Offers `data` (bytes or text) for download as `name`. */
export function download(name, data) {
    const type = TYPES[name.slice(-4).toUpperCase()] ?? 'application/octet-stream';
    const url = URL.createObjectURL(new Blob([data], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60_000);
}
