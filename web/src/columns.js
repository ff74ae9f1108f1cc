// The compiler counts columns in bytes of UTF-8, the editor in UTF-16 code
// units: these convert between the two within one line.

/** Bytes that the UTF-16 code unit at `i` of `text` takes in UTF-8 (a
 * surrogate pair's four bytes go to its first unit). */
function utf8Length(text, i) {
    const c = text.charCodeAt(i);
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (c >= 0xd800 && c <= 0xdbff) return 4;
    if (c >= 0xdc00 && c <= 0xdfff) return 0;
    return 3;
}

/** Offset in `line` of byte column `column` (from 1); past the end gives
 * the line's length. */
export function offsetOfColumn(line, column) {
    let bytes = 1;
    for (let i = 0; i < line.length; i++) {
        const length = utf8Length(line, i);
        if (length === 0) continue; // never inside a surrogate pair
        if (bytes >= column) return i;
        bytes += length;
    }
    return line.length;
}

/** Byte column (from 1) of offset `offset` in `line`. */
export function columnOfOffset(line, offset) {
    let column = 1;
    for (let i = 0; i < offset && i < line.length; i++) column += utf8Length(line, i);
    return column;
}
