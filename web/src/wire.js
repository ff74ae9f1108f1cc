// The bytes that pass between the page and the core, as web/wasm/wire.h
// writes and reads them: numbers little-endian, texts and byte strings as a
// 32-bit length and the bytes (texts in UTF-8).

const encoder = new TextEncoder();
// Bytes that are not UTF-8 (a source in another encoding) show as U+FFFD.
const decoder = new TextDecoder();

export class WireWriter {
    constructor() {
        this.parts = [];
        this.size = 0;
    }

    u8(value) {
        this.push(Uint8Array.of(value));
    }

    u32(value) {
        const bytes = new Uint8Array(4);
        new DataView(bytes.buffer).setUint32(0, value, true);
        this.push(bytes);
    }

    /** A string (written as UTF-8) or a Uint8Array. */
    text(value) {
        const bytes = typeof value === 'string' ? encoder.encode(value) : value;
        this.u32(bytes.length);
        this.push(bytes);
    }

    /** A text that may be missing: a flag, then the text or nothing. */
    optional(value) {
        const given = value !== undefined && value !== null;
        this.u8(given ? 1 : 0);
        this.text(given ? String(value) : '');
    }

    push(bytes) {
        this.parts.push(bytes);
        this.size += bytes.length;
    }

    finish() {
        const out = new Uint8Array(this.size);
        let at = 0;
        for (const part of this.parts) {
            out.set(part, at);
            at += part.length;
        }
        return out;
    }
}

export class WireReader {
    constructor(bytes) {
        this.data = bytes;
        this.view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
        this.at = 0;
    }

    u8() {
        return this.view.getUint8(this.at++);
    }

    u32() {
        const value = this.view.getUint32(this.at, true);
        this.at += 4;
        return value;
    }

    i32() {
        const value = this.view.getInt32(this.at, true);
        this.at += 4;
        return value;
    }

    bytes() {
        const n = this.u32();
        const value = this.data.subarray(this.at, this.at + n);
        this.at += n;
        return value;
    }

    text() {
        return decoder.decode(this.bytes());
    }
}
