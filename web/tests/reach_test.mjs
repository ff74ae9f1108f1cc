// The page as a screen reader, a dark system, a keyboard and a phone reach
// it, in headless Chromium; the roll's notes and time axis as ways into the
// song; a MIDI file opened as the MML the command line's /mml makes of it.
//   node web/tests/reach_test.mjs ZIRVON PAGE

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { argumentsOrSkip, check, finish, launch, openPage, runNative, scratchFolder } from './browser.mjs';

const examples = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'examples');
const { zirvon, page } = argumentsOrSkip();
const folder = scratchFolder();
const url = pathToFileURL(page).href;

const player = (tab) => tab.evaluate(() => window.zirvon.player);
const waitPlaying = (tab, yes) =>
    tab.waitForFunction((want) => window.zirvon.player.playing === want, { timeout: 5000 }, yes).catch(() => null);
const inEditor = (tab) => tab.evaluate(() => document.getElementById('editor').contains(document.activeElement));
const chord = async (tab, mod, key) => (await tab.keyboard.down(mod), await tab.keyboard.press(key), tab.keyboard.up(mod));

async function namesAndColours(tab) {
    const all = [];
    const walk = (node) => all.push(node) && (node.children ?? []).forEach(walk);
    walk(await tab.accessibility.snapshot());
    const buttons = all.filter((n) => n.role === 'button').map((n) => n.name);
    const names = ['Play', 'Stop', 'Play from cursor', 'Play selection', 'Solo track 3', 'Mute track 3', 'Mute track 8'];
    check(names.every((name) => buttons.includes(name)), `the buttons are named in words: ${buttons}`);
    const roll = all.find((n) => n.role === 'image' && /^Piano roll/.test(n.name));
    check(roll && !(roll.children ?? []).length, `the roll is one named image: ${roll?.name}`);
    await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
    const seen = await tab.evaluate(() => {
        const style = (selector) => getComputedStyle(document.querySelector(selector));
        const light = (color) => color.match(/\d+/g).slice(0, 3).reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0) / 255;
        return { page: light(style('body').backgroundColor), text: light(style('#editor .cm-content').color),
            editor: light(style('#editor .cm-editor').backgroundColor), roll: style('#roll svg').filter };
    });
    check(seen.page < 0.2 && seen.editor < 0.2 && seen.text > 0.7 && /invert/.test(seen.roll),
        `dark page, editor and roll, light text: ${JSON.stringify(seen)}`);
}

async function keys(tab) {
    const hints = await tab.$$eval('kbd', (all) => all.map((k) => k.textContent));
    check(['Ctrl+Enter', 'Ctrl+.', 'Ctrl+Shift+Enter', 'Alt+Enter'].every((k) => hints.includes(k)), `the keys show: ${hints}`);
    const line = (await tab.$$('#editor .cm-line'))[5];
    await line.click({ offset: { x: 4, y: 4 } });
    await chord(tab, 'Alt', 'Enter');
    await waitPlaying(tab, true);
    check((await player(tab)).block === 3, 'Alt+Enter plays the cursor line\'s block');
    await tab.keyboard.press('Escape');
    check((await player(tab)).playing, 'Escape in the editor leaves the music alone');
    await tab.keyboard.press('Tab');
    check(!(await inEditor(tab)), 'Escape then Tab leaves the editor');
    await line.click({ offset: { x: 4, y: 4 } });
    await chord(tab, 'Control', '.');
    check(await waitPlaying(tab, false), 'Ctrl+. in the editor stops');
    const fresh = await openPage(tab.browser(), url);
    await fresh.keyboard.press('Tab');
    await fresh.keyboard.press('Enter');
    check(await inEditor(fresh), 'the first Tab reaches the skip link, which leads to the editor');
    await fresh.close();
}

async function layout(tab) {
    await tab.setViewport({ width: 1280, height: 800 });
    check(await tab.waitForFunction(() => {
        const roll = document.getElementById('roll');
        return roll.scrollHeight <= roll.clientHeight && roll.querySelector('svg').getBoundingClientRect().height > 150;
    }, { timeout: 5000 }).catch(() => null), 'at 1280x800 the roll shows the whole picture without scrolling');
    await tab.setViewport({ width: 390, height: 844 });
    const seen = await tab.evaluate(() => ({
        width: document.documentElement.scrollWidth,
        small: [...document.querySelectorAll('button, select, input, a')].map((c) => [c.id, c.getBoundingClientRect()])
            .filter(([, box]) => box.width > 0 && box.top >= 0 && (box.width < 24 || box.height < 24)).map(([id]) => id),
    }));
    check(seen.width <= 390 && seen.small.length === 0, `at 390 pixels nothing overflows, no control is small: ${JSON.stringify(seen)}`);
    const top = () => tab.$eval('#editor', (e) => e.getBoundingClientRect().top);
    const before = await top();
    await tab.click('#play');
    await tab.waitForFunction(() => window.zirvon.player.tick > 10, { timeout: 5000 }).catch(() => null);
    check(before === (await top()), 'starting to play does not move the editor');
    await tab.click('#stop');
}

async function rollWayIn(tab) {
    await tab.setViewport({ width: 1280, height: 800 });
    // The first note of track 2 is on line 5 of canon.mml.
    await tab.click('#roll .note[data-track="2"]');
    const line = await tab.evaluate(() => document.querySelector('#editor .cm-activeLine')?.textContent ?? '');
    check(await inEditor(tab) && line.startsWith('1[A8 B8'), `clicking a note puts the cursor on its line: ${line}`);
    const at = await tab.evaluate(() => {
        const picture = document.querySelector('#roll svg');
        const frame = picture.querySelector('g.row rect').getBBox();
        return new DOMPoint(frame.x + 801, frame.y + frame.height + 10).matrixTransform(picture.getScreenCTM()).toJSON();
    });
    await tab.mouse.click(at.x, at.y);
    await waitPlaying(tab, true);
    // Under the frame at 0:08: from tick 400, six ticks before block 5.
    const { block, tick } = await player(tab);
    check(block === (tick < 6 ? 4 : 5), `the time axis plays from there: block ${block}, tick ${tick}`);
}

async function openMidi(tab) {
    const file = (name) => path.join(folder, name);
    fs.copyFileSync(path.join(examples, 'canon.mml'), file('canon.mml'));
    runNative(zirvon, folder, 'canon.mml', '/midi');
    fs.renameSync(file('canon.MID'), file('round.mid'));
    const native = runNative(zirvon, folder, 'round.mid', '/mml');
    await (await tab.$('#file-input')).uploadFile(file('round.mid'));
    await tab.waitForFunction(() => document.getElementById('file-name').textContent === 'round.MML').catch(() => null);
    const shown = await tab.evaluate(() => ({ text: [...document.querySelectorAll('#editor .cm-line')].map((l) => l.textContent)
        .join('\n'), messages: [...document.querySelectorAll('#messages li')].map((li) => li.textContent) }));
    check(shown.text === fs.readFileSync(file('round.MML'), 'utf8'), 'a MIDI file opens as the MML that /mml writes of it');
    const first = native.stderr.split('\n')[0].replace(/^zirvon: /, '');
    check(shown.messages.includes(`note: ${first}`), `what the import kept is listed: ${shown.messages[0]}`);
}

const { browser, close } = await launch();
try {
    const tab = await openPage(browser, url);
    await tab.waitForSelector('#roll svg', { timeout: 5000 });
    await namesAndColours(tab);
    await keys(tab);
    await layout(tab);
    await rollWayIn(tab);
    await openMidi(tab);
} finally {
    await close();
    fs.rmSync(folder, { recursive: true, force: true });
}
finish('reach_test');
