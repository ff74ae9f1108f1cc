// Builds the page, build/web/zirvon.html: one file holding the core's
// WebAssembly (base64), the page's script and the audio thread's (bundled
// with esbuild), its style, the examples and the Help panel (the manual's
// pages on the MML dialect and the shortcuts, rendered from docs/), so that
// it works offline, opened from disk or from any server, and fetches nothing.
//   node web/build.mjs WASM OUT     (scripts/web.sh runs it)

import { build } from 'esbuild';
import { marked } from 'marked';
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
        html += `<span class="track">${k}<button id="solo-${k}" class="solo" title="Solo track ${k}" ` +
            `aria-label="Solo track ${k}">S</button><button id="mute-${k}" class="mute" title="Mute track ${k}" ` +
            `aria-label="Mute track ${k}">M</button></span>`;
    }
    return html;
}

/** The part of a page of the manual from `heading` to the next heading of its level. */
function section(text, heading) {
    const start = text.indexOf(`\n${heading}\n`);
    if (start < 0) throw new Error(`the manual has no '${heading}'`);
    const end = text.indexOf('\n## ', start + heading.length + 2);
    return text.slice(start + 1, end < 0 ? text.length : end);
}

/**
 * The Help panel's text: the manual's MML dialect and the page's shortcuts,
 * as the manual says them. The page is one file, so the pictures come along
 * inside it, and links to the other pages of the manual, which are not
 * there, keep only their words.
 */
function help() {
    const docs = path.join(here, '..', 'docs');
    const read = (name) => fs.readFileSync(path.join(docs, name), 'utf8');
    const markdown = [read('mml.md'), section(read('page.md'), '## Shortcuts')].join('\n\n')
        .replace(/^\[The manual\]\(README\.md\).*$/gm, '')
        .replace(/!\[([^\]]*)\]\(([\w-]+\.svg)\)/g, (_, alt, name) =>
            `![${alt}](data:image/svg+xml;base64,${Buffer.from(read(name)).toString('base64')})`)
        .replace(/(?<!!)\[([^\]]*)\]\((?!https?:)[^)]*\)/g, '$1');
    return marked.parse(markdown);
}

const worklet = await bundle('worklet.js');
const script = await bundle('main.js', {
    ZIRVON_WORKLET_URL: JSON.stringify(`data:text/javascript;base64,${Buffer.from(worklet).toString('base64')}`),
    ZIRVON_EXAMPLES: JSON.stringify(examples()),
});
const fill = {
    '/*STYLE*/': fs.readFileSync(path.join(here, 'page', 'style.css'), 'utf8'),
    '<!--TRACKS-->': tracks(),
    '<!--HELP-->': help(),
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
