// A link that holds the source: the text, deflated with the browser's
// CompressionStream, in base64url in the URL's fragment (#mml=...), which
// never reaches a server. Opening such a link restores the text.

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

/** The fragment that holds `text`: "#mml=...". */
export async function fragmentOf(text) {
    const packed = await through(new CompressionStream('deflate-raw'), new TextEncoder().encode(text));
    return `#${KEY}${toBase64url(packed)}`;
}

/** The text a fragment holds, or null when it holds none; throws when it
 * is damaged. */
export async function textOf(fragment) {
    const at = fragment.indexOf(KEY);
    if (!fragment.startsWith('#') || at !== 1) return null;
    const packed = fromBase64url(fragment.slice(1 + KEY.length));
    return new TextDecoder().decode(await through(new DecompressionStream('deflate-raw'), packed));
}
