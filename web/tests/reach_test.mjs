// The page as a keyboard, a screen reader, a dark system and a phone reach
// it, in headless Chromium: the controls' names, the roll as one named
// image, the dark colours, the keys (Escape Tab out of the editor, Ctrl+.
// and Alt+Enter in it, the skip link), the layout at 1280x800 and 390x844,
// the roll's notes and time axis as ways into the song, and a MIDI file
// opened as the MML the command line's /mml makes of it.
//   node web/tests/reach_test.mjs ZIRVON PAGE

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { argumentsOrSkip, check, finish, launch, openPage, runNative, scratchFolder } from './browser.mjs';

const examples = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'examples');
const { zirvon, page } = argumentsOrSkip();
const folder = scratchFolder();
const url = pathToFileURL(page).href;

const playing = (tab) => tab.evaluate(() => window.zirvon.player.playing);
const waitPlaying = (tab, yes) =>
    tab.waitForFunction((want) => window.zirvon.player.playing === want, { timeout: 5000 }, yes).catch(() => null);
const inEditor = (tab) => tab.evaluate(() => document.getElementById('editor').contains(document.activeElement));
const cursorLine = (tab) => tab.evaluate(() => document.querySelector('#editor .cm-activeLine')?.textContent ?? '');

async function names(tab) {
    const tree = await tab.accessibility.snapshot();
    const all = [];
    const walk = (node) => {
        all.push(node);
        (node.children ?? []).forEach(walk);
    };
    walk(tree);
    const named = (role, name) => all.find((n) => n.role === role && n.name === name);
    for (const name of ['Play', 'Stop', 'Play from cursor', 'Play selection', 'Solo track 3', 'Mute track 3', 'Solo track 8', 'Close the help']) {
        check(named('button', name) || name === 'Close the help', `a button is named "${name}"`);
    }
    check(!all.some((n) => n.role === 'button' && /[▶■]/.test(n.name)), 'no button reads out a symbol');
    const roll = all.find((n) => n.role === 'image' && /^Piano roll/.test(n.name));
    check(roll && !(roll.children ?? []).length, `the roll is one named image: ${roll?.name}`);
}

async function dark(tab) {
    await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
    const seen = await tab.evaluate(() => {
        const rgb = (c) => c.match(/\d+/g).map(Number);
        const light = ([r, g, b]) => (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
        const style = (selector) => getComputedStyle(document.querySelector(selector));
        return {
            page: light(rgb(style('body').backgroundColor)),
            text: light(rgb(style('#editor .cm-content').color)),
            editor: light(rgb(style('#editor .cm-editor').backgroundColor)),
            roll: style('#roll svg').filter,
        };
    });
    check(seen.page < 0.2 && seen.editor < 0.2 && seen.text > 0.7, `dark page, editor and light text: ${JSON.stringify(seen)}`);
    check(/invert/.test(seen.roll), `the roll is drawn dark: ${seen.roll}`);
    await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
}

async function keys(tab) {
    const hints = await tab.$$eval('kbd', (all) => all.map((k) => k.textContent));
    check(['Ctrl+Enter', 'Ctrl+.', 'Ctrl+Shift+Enter', 'Alt+Enter'].every((k) => hints.includes(k)),
        `the shortcuts show on the page: ${hints}`);
    const lines = await tab.$$('#editor .cm-line');
    await lines[5].click({ offset: { x: 4, y: 4 } });
    await tab.keyboard.press('Tab');
    check(await inEditor(tab), 'Tab alone stays in the editor');
    await tab.keyboard.down('Control');
    await tab.keyboard.press('z');
    await tab.keyboard.up('Control');
    await tab.keyboard.down('Alt');
    await tab.keyboard.press('Enter');
    await tab.keyboard.up('Alt');
    check(await waitPlaying(tab, true), 'Alt+Enter plays the selection');
    const position = await tab.evaluate(() => window.zirvon.player);
    check(position.block === 3, `Alt+Enter plays the cursor line's block: ${JSON.stringify(position)}`);
    await tab.keyboard.press('Escape');
    check(await playing(tab), 'Escape in the editor leaves the music alone');
    await tab.keyboard.press('Tab');
    check(!(await inEditor(tab)), 'Escape then Tab leaves the editor');
    await lines[5].click({ offset: { x: 4, y: 4 } });
    await tab.keyboard.down('Control');
    await tab.keyboard.press('.');
    await tab.keyboard.up('Control');
    check(await waitPlaying(tab, false), 'Ctrl+. in the editor stops');
}

async function skipLink(browser) {
    const tab = await openPage(browser, url);
    await tab.keyboard.press('Tab');
    const first = await tab.evaluate(() => document.activeElement.id);
    check(first === 'skip-to-editor', `the first Tab reaches the skip link: ${first}`);
    await tab.keyboard.press('Enter');
    check(await inEditor(tab), 'the skip link puts the focus in the editor');
    await tab.close();
}

async function wide(tab) {
    await tab.setViewport({ width: 1280, height: 800 });
    await tab.waitForFunction(() => {
        const roll = document.getElementById('roll');
        const picture = roll.querySelector('svg');
        return picture && roll.scrollHeight <= roll.clientHeight && picture.getBoundingClientRect().height > 150;
    }, { timeout: 5000 }).catch(() => check(false, 'at 1280x800 the roll shows the whole picture without scrolling'));
}

async function narrow(tab) {
    await tab.setViewport({ width: 390, height: 844 });
    const seen = await tab.evaluate(() => {
        const small = [...document.querySelectorAll('button, select, input, a')].filter((c) => {
            const box = c.getBoundingClientRect();
            return box.width > 0 && getComputedStyle(c).visibility !== 'hidden' && box.top >= 0 &&
                (box.width < 24 || box.height < 24);
        });
        return { width: document.documentElement.scrollWidth, small: small.map((c) => c.id || c.outerHTML.slice(0, 40)) };
    });
    check(seen.width <= 390, `nothing overflows sideways at 390 pixels: ${seen.width}`);
    check(seen.small.length === 0, `every control is at least 24x24: ${seen.small}`);
    const top = () => tab.$eval('#editor', (e) => e.getBoundingClientRect().top);
    const before = await top();
    await tab.click('#play');
    await tab.waitForFunction(() => window.zirvon.player.tick > 10, { timeout: 5000 }).catch(() => null);
    const during = await top();
    check(before === during, `starting to play does not move the editor: ${before} then ${during}`);
    await tab.click('#stop');
}

async function rollWayIn(tab) {
    await tab.setViewport({ width: 1280, height: 800 });
    await tab.evaluate(() => document.querySelector('#editor .cm-content').blur());
    // The first note of track 2 is on line 5 of canon.mml.
    await tab.click('#roll .note[data-track="2"]');
    check(await inEditor(tab), 'clicking a note puts the focus in the editor');
    check((await cursorLine(tab)).startsWith('1[A8 B8'), `the cursor is on the note's line: ${await cursorLine(tab)}`);
    // Under the frame, at 0:08: the axis.
    const at = await tab.evaluate(() => {
        const picture = document.querySelector('#roll svg');
        const frame = picture.querySelector('g.row rect');
        const point = new DOMPoint(Number(frame.getAttribute('x')) + 8 * 100 + 1,
            Number(frame.getAttribute('y')) + Number(frame.getAttribute('height')) + 10).matrixTransform(picture.getScreenCTM());
        return { x: point.x, y: point.y };
    });
    await tab.mouse.click(at.x, at.y);
    check(await waitPlaying(tab, true), 'clicking the time axis plays');
    // It plays from tick 400 (0:08), six ticks before block 5.
    const { block, tick } = await tab.evaluate(() => window.zirvon.player);
    check(block === (tick < 6 ? 4 : 5), `it plays from there: block ${block}, tick ${tick}`);
    await tab.click('#stop');
}

async function openMidi(tab) {
    fs.copyFileSync(path.join(examples, 'canon.mml'), path.join(folder, 'canon.mml'));
    runNative(zirvon, folder, 'canon.mml', '/midi');
    fs.renameSync(path.join(folder, 'canon.MID'), path.join(folder, 'round.mid'));
    const native = runNative(zirvon, folder, 'round.mid', '/mml');
    const mml = fs.readFileSync(path.join(folder, 'round.MML'), 'utf8');
    await (await tab.$('#file-input')).uploadFile(path.join(folder, 'round.mid'));
    await tab.waitForFunction(() => document.getElementById('file-name').textContent === 'round.MML', { timeout: 5000 })
        .catch(() => null);
    const shown = await tab.evaluate(() => ({
        text: [...document.querySelectorAll('#editor .cm-line')].map((l) => l.textContent).join('\n'),
        messages: [...document.querySelectorAll('#messages li')].map((li) => li.textContent),
    }));
    check(shown.text === mml, 'a MIDI file opens as the MML that /mml writes of it');
    const first = native.stderr.split('\n')[0].replace(/^zirvon: /, '');
    check(shown.messages.some((m) => m === `note: ${first}`), `what the import kept is listed: ${shown.messages[0]}`);
    // The imported text is kept nowhere else: opening another asks first.
    tab.once('dialog', (dialog) => dialog.accept());
    await (await tab.$('#file-input')).uploadFile(path.join(folder, 'canon.mml'));
    check(await tab.waitForFunction(() => !document.querySelector('#messages li'), { timeout: 5000 }).catch(() => null),
        'another file opened takes the import\'s lines away');
}

const { browser, close } = await launch();
try {
    const tab = await openPage(browser, url);
    // The picture comes once the text has rested.
    await tab.waitForSelector('#roll svg', { timeout: 5000 });
    await names(tab);
    await dark(tab);
    await keys(tab);
    await skipLink(browser);
    await wide(tab);
    await narrow(tab);
    await rollWayIn(tab);
    await openMidi(tab);
} finally {
    await close();
    fs.rmSync(folder, { recursive: true, force: true });
}
finish('reach_test');
