// The page as a composer uses it, in headless Chromium: a mistake typed is
// marked at its line (squiggle, gutter, message on hover, the list); Play
// runs the player's clock at 50 ticks a second with a moving playhead and
// the sounding notes lit; Stop stops it; Play from the cursor starts at the
// cursor's block; Loop plays again; a muted track leaves the picture, a
// silent one played says so; Share puts the source in the address and the
// link brings it back; an image opened shows its /list; a file dropped
// opens; a download is the native program's file; the Help panel shows the
// manual's MML dialect and the shortcuts; the text is kept over a reload and
// never replaced unasked; the picture of a text with errors is marked out of
// date; and the page works from a web server too.
//   node web/tests/page_test.mjs ZIRVON PAGE

import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { argumentsOrSkip, check, finish, launch, openPage, runNative, scratchFolder } from './browser.mjs';

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const examples = path.join(root, 'examples');
const { zirvon, page } = argumentsOrSkip();
const url = pathToFileURL(page).href;
const folder = scratchFolder();
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/** The editor's text, line by line as it shows. */
const editorLines = (tab) => tab.$$eval('#editor .cm-line', (lines) => lines.map((l) => l.textContent));

async function typeAMistake(tab) {
    await tab.waitForSelector('#roll svg', { timeout: 5000 });
    await tab.click('#editor .cm-content');
    await tab.keyboard.down('Control');
    await tab.keyboard.press('End');
    await tab.keyboard.up('Control');
    await tab.keyboard.type('\n12[C]');
    const line = (await editorLines(tab)).length;
    const item = await tab.waitForSelector(`#messages li[data-severity="error"][data-line="${line}"]`, { timeout: 5000 })
        .catch(() => null);
    check(item !== null, `the mistake on line ${line} is listed below the editor`);
    const text = await tab.$eval('#messages li[data-severity="error"]', (li) => [li.dataset.column, li.textContent]);
    check(text[0] === '3' && text[1] === `${line}:3: error: track number 12 is outside 0-9`,
        `the message gives the place and the text: ${text}`);
    const marked = await tab.evaluate(() => ({
        squiggle: document.querySelector('.cm-lintRange-error')?.textContent ?? null,
        gutter: document.querySelectorAll('.cm-gutter-lint .cm-lint-marker-error').length,
        summary: document.getElementById('summary').textContent,
    }));
    check(marked.squiggle === '[', `the squiggle is under the bracket: ${marked.squiggle}`);
    check(marked.gutter === 1, `one error mark in the gutter: ${marked.gutter}`);
    check(marked.summary === "1 error; 'canon.MZT' not written", `the summary line: ${marked.summary}`);
    check(await tab.$eval('#roll', (roll) => roll.classList.contains('stale') && roll.querySelector('svg') !== null),
        'the picture of the text before the mistake is marked out of date');
    const box = await (await tab.$('.cm-lintRange-error')).boundingBox();
    await tab.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    const tip = await tab.waitForSelector('.cm-tooltip-lint', { timeout: 5000 }).catch(() => null);
    check(tip && (await tip.evaluate((t) => t.textContent)).includes('track number 12 is outside 0-9'),
        'hovering over the mark shows the message');
    await tab.keyboard.down('Control');
    await tab.keyboard.press('z');
    await tab.keyboard.up('Control');
    await tab.waitForFunction(() => !document.querySelector('#messages li'), { timeout: 5000 }).catch(() => null);
    check((await tab.$$('#messages li')).length === 0, 'undoing the mistake clears the list');
    check(await tab.waitForFunction(() => !document.getElementById('roll').classList.contains('stale'), { timeout: 5000 })
        .catch(() => null), 'the picture is up to date again');
}

async function playAndStop(tab) {
    await tab.click('#play');
    await tab.waitForFunction(() => window.zirvon.player.tick > 0, { timeout: 5000 });
    const run = await tab.evaluate(async () => {
        const head = () => [...document.querySelectorAll('#playhead')].map((h) => h.getAttribute('x1') + ',' + h.getAttribute('y1'))[0];
        const first = { at: performance.now(), ...window.zirvon.player, head: head() };
        let lit = 0;
        for (let i = 0; i < 40; i++) {
            await new Promise((resolve) => setTimeout(resolve, 50));
            lit = Math.max(lit, document.querySelectorAll('#editor .zv-sounding').length);
        }
        const second = { at: performance.now(), ...window.zirvon.player, head: head() };
        return { first, second, lit };
    });
    const rate = ((run.second.tick - run.first.tick) * 1000) / (run.second.at - run.first.at);
    check(run.first.playing && run.second.playing, 'the player plays');
    // A wide margin: the machine may stall for a moment; a wrong clock is far off.
    check(rate > 42 && rate < 58, `the tick advances at 50 a second: ${rate.toFixed(1)}`);
    check(run.second.block >= 1, `the block is known: ${run.second.block}`);
    check(run.first.head && run.second.head && run.first.head !== run.second.head,
        `the playhead moves: ${run.first.head} then ${run.second.head}`);
    check(run.lit > 0, 'the sounding notes are lit in the editor');
    await tab.click('#solo-1');
    check(await tab.waitForFunction(() => {
        const lit = [...document.querySelectorAll('#editor .zv-sounding')];
        return lit.length > 0 && lit.every((n) => n.classList.contains('zv-track-1'));
    }, { timeout: 5000 }).catch(() => null), 'a track soloed while it plays leaves the others unlit');
    await tab.click('#solo-1');
    await tab.click('#stop');
    const stopped = await tab.evaluate(async () => {
        const at = window.zirvon.player;
        await new Promise((resolve) => setTimeout(resolve, 300));
        return { at, later: window.zirvon.player, lit: document.querySelectorAll('#editor .zv-sounding').length };
    });
    check(!stopped.at.playing && stopped.later.tick === stopped.at.tick, `Stop stops the clock: ${JSON.stringify(stopped)}`);
    check(stopped.lit === 0, 'nothing is lit after Stop');
}

async function playFromCursor(tab) {
    // Line 6 of canon.mml is its third bar, block 3.
    const line = await tab.$$('#editor .cm-line');
    await line[5].click({ offset: { x: 4, y: 4 } });
    await tab.click('#play-cursor');
    await tab.waitForFunction(() => window.zirvon.player.playing, { timeout: 5000 });
    const position = await tab.evaluate(() => window.zirvon.player);
    check(position.block === 3, `Play from cursor starts in the cursor's block: ${JSON.stringify(position)}`);
    await tab.keyboard.press('Escape');
    check(!(await tab.evaluate(() => window.zirvon.player.playing)), 'Escape stops');
}

/** Loop plays the selection's blocks again and again; a muted track leaves
 * the picture, as /mute leaves it out of /svg. */
async function loopAndMute(tab) {
    const line = await tab.$$('#editor .cm-line');
    await line[5].click({ offset: { x: 4, y: 4 } });
    await tab.click('#loop');
    await tab.click('#play-selection');
    const turns = await tab.evaluate(async () => {
        const seen = [];
        for (let i = 0; i < 70; i++) {
            seen.push(window.zirvon.player);
            await new Promise((resolve) => setTimeout(resolve, 50));
        }
        return seen;
    });
    // Block 3 lasts 102 ticks, about two seconds: in 3.5 seconds it starts again.
    const wrapped = turns.some((p, i) => i > 0 && p.tick < turns[i - 1].tick);
    check(wrapped && turns.every((p) => p.playing && p.block === 3), `Loop plays block 3 again: ${JSON.stringify(turns.at(-1))}`);
    await tab.click('#stop');
    await tab.click('#loop');
    await tab.click('#mute-2');
    await tab.waitForFunction(() => document.querySelector('#roll svg title')?.textContent.includes('muted: 2'), { timeout: 5000 })
        .catch(() => null);
    check(await tab.$eval('#roll svg title', (t) => t.textContent.includes('muted: 2')), 'the picture leaves out a muted track');
    await tab.click('#mute-2');
    // Track 4 has no notes: played alone, the run's warning is listed.
    await tab.click('#solo-4');
    await tab.click('#play');
    const silent = 'warning: track 4 holds no notes in this passage; nothing to hear';
    check(await tab.waitForFunction((text) => [...document.querySelectorAll('#messages li')].some((li) => li.textContent === text),
        { timeout: 5000 }, silent).catch(() => null), 'Play of a silent track lists why nothing is heard');
    await tab.click('#stop');
    await tab.click('#solo-4');
}

async function shareAndReopen(browser, tab) {
    const before = await editorLines(tab);
    await tab.click('#share');
    await tab.waitForFunction(() => location.hash.startsWith('#mml='), { timeout: 5000 });
    const link = await tab.evaluate(() => location.href);
    const reopened = await openPage(browser, link);
    await reopened.waitForFunction((n) => document.querySelectorAll('#editor .cm-line').length === n, { timeout: 5000 }, before.length);
    check(JSON.stringify(await editorLines(reopened)) === JSON.stringify(before), 'the link brings the source back');
    // Byte for byte, CRs too: shared again, it gives the same link.
    await reopened.evaluate(() => history.replaceState(null, '', location.pathname));
    await reopened.click('#share');
    await reopened.waitForFunction(() => location.hash.startsWith('#mml='), { timeout: 5000 });
    check((await reopened.evaluate(() => location.href)) === link, 'sharing the reopened source gives the same link');
    await reopened.close();
}

async function openImageAndDownload(tab) {
    fs.copyFileSync(path.join(examples, 'canon.mml'), path.join(folder, 'canon.mml'));
    runNative(zirvon, folder, 'canon.mml', 'NATIVE');
    const listing = runNative(zirvon, folder, 'canon.MZT', '/list').stdout.toString('utf8');
    await tab.$eval('#tape-name', (input) => { input.value = 'CANON'; });
    await (await tab.$('#file-input')).uploadFile(path.join(folder, 'canon.MZT'));
    await tab.waitForSelector('#listing:not([hidden])', { timeout: 5000 });
    check((await tab.$eval('#listing', (pre) => pre.textContent)) === listing, 'an image opened shows its /list');
    check((await tab.$eval('#tape-name', (input) => input.value)) === 'NATIVE', 'the tape name field shows its name');
    const downloads = path.join(folder, 'downloads');
    fs.mkdirSync(downloads);
    const session = await tab.createCDPSession();
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await tab.$eval('#tape-name', (input) => { input.value = 'RENAMED'; });
    await tab.click('#download-mzt');
    await tab.click('#download-mid');
    runNative(zirvon, folder, 'canon.mml', 'RENAMED', '-o', 'renamed.MZT');
    runNative(zirvon, folder, 'canon.MZT', '/midi');
    for (const name of ['canon.MZT', 'canon.MID']) {
        for (let i = 0; i < 50 && !fs.existsSync(path.join(downloads, name)); i++) await sleep(100);
        const got = fs.existsSync(path.join(downloads, name)) ? fs.readFileSync(path.join(downloads, name)) : null;
        check(got !== null, `${name} is downloaded`);
        if (name === 'canon.MID') check(got?.equals(fs.readFileSync(path.join(folder, name))), `${name} is the program's`);
    }
    check(fs.readFileSync(path.join(downloads, 'canon.MZT')).equals(fs.readFileSync(path.join(folder, 'renamed.MZT'))),
        'the image is written back with the new tape name');
    await tab.click('#edit-source');
    check(await tab.$eval('#listing', (pre) => pre.hidden), 'Back to the MML hides the listing');
    const names = await tab.evaluate(() => [document.getElementById('file-name').textContent, document.getElementById('tape-name').value]);
    check(names.join() === 'canon.mml,CANON', `Back to the MML brings back its name and tape name: ${names}`);
}

/** A file dropped on the page opens as it would from the button. */
async function dropAFile(tab) {
    await tab.evaluate(() => {
        const data = new DataTransfer();
        data.items.add(new File(['1[C D E]\r\n'], 'dropped.mml'));
        for (const type of ['dragover', 'drop']) {
            document.body.dispatchEvent(new DragEvent(type, { dataTransfer: data, bubbles: true, cancelable: true }));
        }
    });
    await tab.waitForFunction(() => document.getElementById('file-name').textContent === 'dropped.mml', { timeout: 5000 })
        .catch(() => null);
    check(JSON.stringify(await editorLines(tab)) === JSON.stringify(['1[C D E]', '']), 'a dropped file opens in the editor');
}

/** Help opens a panel with the manual's dialect reference, headings, commands and pictures alike. */
async function readTheHelp(tab) {
    const manual = fs.readFileSync(path.join(root, 'docs', 'mml.md'), 'utf8');
    const headings = [...manual.matchAll(/^#+ (.*)$/gm)].map((m) => m[1]);
    await tab.click('#help');
    await tab.waitForSelector('#help-panel:not([hidden])', { visible: true, timeout: 5000 }).catch(() => null);
    const shown = await tab.evaluate(() => {
        const panel = document.getElementById('help-panel');
        const rows = [...panel.querySelectorAll('table')][0]?.querySelectorAll('tbody tr') ?? [];
        return {
            visible: panel.getBoundingClientRect().width > 0 && !panel.hidden,
            headings: [...panel.querySelectorAll('h1, h2')].map((h) => h.textContent),
            commands: [...rows].map((row) => row.cells[0].textContent),
            pictures: [...panel.querySelectorAll('img')].map((img) => img.complete && img.naturalWidth > 0),
            text: panel.textContent,
            expanded: document.getElementById('help').getAttribute('aria-expanded'),
        };
    });
    check(shown.visible && shown.expanded === 'true', 'Help opens the panel');
    check(JSON.stringify(shown.headings) === JSON.stringify([...headings, 'Shortcuts']),
        `the panel has the headings of docs/mml.md and the shortcuts: ${shown.headings}`);
    // The first column of the manual's first table: every command.
    const table = manual.slice(manual.indexOf('\n| write |'));
    const commands = table.split('\n\n')[0].split('\n').slice(3)
        .map((row) => row.split('|')[1].replace(/`/g, '').trim());
    const cells = shown.commands.map((cell) => cell.trim());
    check(commands.length >= 16 && JSON.stringify(cells) === JSON.stringify(commands),
        `the panel's table lists every command of the manual: ${cells.join(' , ')}`);
    check(shown.pictures.length === 2 && shown.pictures.every(Boolean), `the tie pictures show: ${shown.pictures}`);
    check(shown.text.includes('Ctrl+Shift+Enter') && shown.text.includes('every event lasts its length plus one tick'),
        'the panel holds the shortcuts and the timing rule');
    await tab.click('#help-close');
    check(await tab.$eval('#help-panel', (panel) => panel.hidden), 'the close button hides the panel');
}

/** A tab of `context` at `address`, whose questions get the answers
 * `answers.next` gives (true: OK), recorded in `answers.asked`. */
async function openAnswering(context, address, answers) {
    const tab = await context.newPage();
    tab.on('pageerror', (error) => check(false, `error on the page: ${error.message}`));
    tab.on('dialog', (dialog) => {
        answers.asked.push(dialog.message());
        return answers.next ? dialog.accept() : dialog.dismiss();
    });
    await tab.goto(address);
    await tab.evaluate(() => window.zirvonReady);
    return tab;
}

const fieldOf = (tab, id) => tab.$eval(`#${id}`, (e) => e.value ?? e.textContent);
const textOf = (tab) => tab.evaluate(() => [...document.querySelectorAll('#editor .cm-line')].map((l) => l.textContent).join('\n'));

/** The composer's work survives a reload, an example chosen, a file
 * opened and an old link; .MML downloads it; a link carries its names. */
async function keepTheWork(browser) {
    const context = await browser.createBrowserContext();
    const answers = { asked: [], next: false };
    const tab = await openAnswering(context, url, answers);
    await tab.waitForSelector('#roll svg', { timeout: 5000 });
    await tab.click('#editor .cm-content');
    await tab.keyboard.type('\n; mine\n12[C]');
    await tab.click('#tape-name', { clickCount: 3 });
    await tab.keyboard.type('KEPT');
    check(await tab.$eval('#roll', (roll) => roll.classList.contains('stale')), 'a text with errors marks the picture');
    const typed = await textOf(tab);
    await tab.reload();
    await tab.evaluate(() => window.zirvonReady);
    check((await textOf(tab)) === typed, 'a reload brings the text back');
    check((await fieldOf(tab, 'tape-name')) === 'KEPT' && (await fieldOf(tab, 'file-name')) === 'canon.mml',
        'and its tape name and name');

    // An example asks first; Cancel keeps the text, OK replaces it.
    await tab.select('#examples', 'scale.mml');
    check(answers.asked.length === 1 && (await textOf(tab)) === typed, `Cancel keeps the text: ${answers.asked}`);
    answers.next = true;
    await tab.select('#examples', 'scale.mml');
    check(answers.asked.length === 2 && (await fieldOf(tab, 'file-name')) === 'scale.mml', 'OK opens the example');
    await tab.waitForSelector('#roll svg', { timeout: 5000 });
    check(await tab.$eval('#roll', (roll) => !roll.classList.contains('stale')), 'whose picture is its own');

    // Downloaded, the text is kept elsewhere: nothing to ask.
    await tab.click('#editor .cm-content');
    await tab.keyboard.type('; changed ');
    const downloads = path.join(folder, 'kept');
    fs.mkdirSync(downloads);
    const session = await tab.createCDPSession();
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads, browserContextId: context.id });
    await tab.click('#download-mml');
    const saved = path.join(downloads, 'scale.MML');
    for (let i = 0; i < 50 && !fs.existsSync(saved); i++) await sleep(100);
    check(fs.existsSync(saved) && fs.readFileSync(saved, 'utf8') === (await textOf(tab)), '.MML downloads the text');
    const broken = path.join(folder, 'broken.mml');
    fs.writeFileSync(broken, '12[C]\n');
    await (await tab.$('#file-input')).uploadFile(broken);
    await tab.waitForFunction(() => document.getElementById('file-name').textContent === 'broken.mml', { timeout: 5000 })
        .catch(() => null);
    check(answers.asked.length === 2, `a file opens over a downloaded text unasked: ${answers.asked}`);
    check(await tab.$eval('#roll', (roll) => roll.querySelector('svg') === null), 'a file with errors has no picture');

    // A link carries the names; the address follows the text after Share.
    await tab.select('#examples', 'bells.mml');
    await tab.click('#share');
    await tab.waitForFunction(() => location.hash.startsWith('#mml='), { timeout: 5000 });
    const link = await tab.evaluate(() => location.href);
    check(link.includes('&name=bells.mml&tape=KEPT'), `the link carries the names: ${link}`);
    await tab.click('#editor .cm-content');
    await tab.keyboard.type('; after the link ');
    const edited = await textOf(tab);
    // The address follows each change a moment later (it is deflated on
    // the way): wait until it holds the last one.
    await tab.waitForFunction(async (want) => {
        const packed = new URLSearchParams(location.hash.slice(1)).get('mml');
        if (!packed) return false;
        const bytes = Uint8Array.from(atob(packed.replace(/-/g, '+').replace(/_/g, '/')), (c) => c.charCodeAt(0));
        const text = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
        return new TextDecoder().decode(await new Response(text).arrayBuffer()) === want;
    }, { timeout: 5000 }, edited).catch(() => null);
    await tab.reload();
    await tab.evaluate(() => window.zirvonReady);
    check((await textOf(tab)) === edited, 'a reload after Share and more typing brings the typing back');
    // The old link, where the edited text is kept nowhere else: asked.
    answers.next = false;
    const old = await openAnswering(context, link, answers);
    check(answers.asked.length === 3 && (await textOf(old)) === edited && !(await old.evaluate(() => location.hash)),
        `Cancel keeps the changed text over an old link: ${answers.asked.length}`);
    await old.close();
    await tab.close();
    await context.close();
    const elsewhere = await browser.createBrowserContext();
    const opened = await openAnswering(elsewhere, link, answers);
    check((await fieldOf(opened, 'file-name')) === 'bells.mml' && (await fieldOf(opened, 'tape-name')) === 'KEPT',
        'the link opens with its name and tape name');
    await elsewhere.close();
}

/** The page from a web server: its audio thread loads too. */
async function fromServer(browser) {
    const server = http.createServer((request, response) => {
        response.writeHead(200, { 'Content-Type': 'text/html' });
        response.end(fs.readFileSync(page));
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    try {
        const tab = await openPage(browser, `http://127.0.0.1:${server.address().port}/zirvon.html`);
        await tab.click('#play');
        await tab.waitForFunction(() => window.zirvon.player.tick > 10, { timeout: 5000 }).catch(() => null);
        check((await tab.evaluate(() => window.zirvon.player.tick)) > 10, 'the page plays from a web server');
        await tab.close();
    } finally {
        server.close();
    }
}

const { browser, close } = await launch();
try {
    const tab = await openPage(browser, url);
    await typeAMistake(tab);
    await playAndStop(tab);
    await playFromCursor(tab);
    await loopAndMute(tab);
    await shareAndReopen(browser, tab);
    await openImageAndDownload(tab);
    await dropAFile(tab);
    await readTheHelp(tab);
    await keepTheWork(browser);
    await fromServer(browser);
} finally {
    await close();
    fs.rmSync(folder, { recursive: true, force: true });
}
finish('page_test');
