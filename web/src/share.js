// A link that holds the source: the text, deflated with the browser's
// CompressionStream, in base64url in the URL's fragment (#mml=...), which
// never reaches a server, then its name and tape name (&name=...&tape=...).
// Opening such a link restores all three.

const KEY = 'mml=';

async function through(stream, bytes) {
    const piped = new Blob([bytes]).stream().pipeThrough(stream);
    return new Uint8Array(await new Response(piped).arrayBuffer());
}

function toBase64url(bytes) {
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64url(text) {
    const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}

/** Whether the address holds a shared source. */
export function holdsSource(fragment) {
    return fragment.startsWith(`#${KEY}`);
}

/** The fragment that holds `text` under `name` and `tapeName`:
 * "#mml=...&name=...&tape=...". */
export async function fragmentOf(text, { name, tapeName }) {
    const packed = await through(new CompressionStream('deflate-raw'), new TextEncoder().encode(text));
    return `#${KEY}${toBase64url(packed)}&name=${encodeURIComponent(name)}&tape=${encodeURIComponent(tapeName)}`;
}

/** What a fragment holds: { text, name, tapeName }, the names null where an
 * older link has none; null when it holds no source; throws when it is
 * damaged. */
export async function sharedOf(fragment) {
    if (!holdsSource(fragment)) return null;
    const fields = new URLSearchParams(fragment.slice(1));
    const packed = fromBase64url(fields.get('mml'));
    const text = new TextDecoder().decode(await through(new DecompressionStream('deflate-raw'), packed));
    return { text, name: fields.get('name'), tapeName: fields.get('tape') };
}
