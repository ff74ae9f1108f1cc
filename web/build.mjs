// Builds the page, build/web/zirvon.html: one file holding the core's
// WebAssembly (base64), the page's script and the audio thread's (bundled
// with esbuild), its style and the examples, so that it works offline,
// opened from disk or from any server, and fetches nothing.
//   node web/build.mjs WASM OUT     (scripts/web.sh runs it)

import { build } from 'esbuild';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const [wasmPath, outPath] = process.argv.slice(2);
if (!wasmPath || !outPath) {
    console.error('usage: node web/build.mjs WASM OUT');
    process.exit(2);
}
const LIMIT = 2 * 1024 * 1024;

async function bundle(entry, define = {}) {
    const result = await build({
        entryPoints: [path.join(here, 'src', entry)],
        bundle: true,
        minify: true,
        format: 'iife',
        target: 'es2020',
        charset: 'ascii',
        legalComments: 'none',
        define,
        write: false,
    });
    return result.outputFiles[0].text;
}

function examples() {
    const folder = path.join(here, '..', 'examples');
    const names = fs.readdirSync(folder).filter((n) => n.endsWith('.mml')).sort();
    // canon first: the page opens with it.
    names.sort((a, b) => (b === 'canon.mml') - (a === 'canon.mml'));
    return Object.fromEntries(names.map((n) => [n, fs.readFileSync(path.join(folder, n), 'utf8')]));
}

function tracks() {
    let html = '';
    for (let k = 1; k <= 8; k++) {
        html += `<span class="track">${k}<button id="solo-${k}" class="solo" title="Solo track ${k}">S</button>` +
            `<button id="mute-${k}" class="mute" title="Mute track ${k}">M</button></span>`;
    }
    return html;
}

const worklet = await bundle('worklet.js');
const script = await bundle('main.js', {
    ZIRVON_WORKLET_URL: JSON.stringify(`data:text/javascript;base64,${Buffer.from(worklet).toString('base64')}`),
    ZIRVON_EXAMPLES: JSON.stringify(examples()),
});
const fill = {
    '/*STYLE*/': fs.readFileSync(path.join(here, 'page', 'style.css'), 'utf8'),
    '<!--TRACKS-->': tracks(),
    '/*WASM*/': fs.readFileSync(wasmPath).toString('base64'),
    // A script may not hold "</script" (the bundle is ASCII, so only this).
    '/*SCRIPT*/': script.replace(/<\/script/gi, '<\\/script'),
};
let html = fs.readFileSync(path.join(here, 'page', 'zirvon.html'), 'utf8');
for (const [mark, value] of Object.entries(fill)) html = html.replace(mark, () => value);
fs.mkdirSync(path.dirname(outPath), { recursive: true });
fs.writeFileSync(`${outPath}.tmp`, html);
fs.renameSync(`${outPath}.tmp`, outPath);
const size = Buffer.byteLength(html);
console.log(`${outPath}: ${size.toLocaleString('en')} bytes`);
if (size > LIMIT) {
    console.error(`the page is larger than ${LIMIT.toLocaleString('en')} bytes`);
    process.exit(1);
}
