// The page's Cassette panel in headless Chromium: the .TAPE.WAV it
// downloads is the program's /cassette, byte for byte, with the default
// choices and with every other one; a recording the program wrote opens as
// the image it holds, listed as the program lists it; Play sends the sound
// and says which part goes out, and Stop stops it.
//   node web/tests/cassette_test.mjs ZIRVON PAGE

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { argumentsOrSkip, check, finish, launch, openPage, runNative, scratchFolder } from './browser.mjs';

const examples = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'examples');
const { zirvon, page } = argumentsOrSkip();
const folder = scratchFolder();
const downloads = path.join(folder, 'downloads');
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function downloaded(name) {
    const file = path.join(downloads, name);
    for (let i = 0; i < 100 && !fs.existsSync(file); i++) await sleep(100);
    const bytes = fs.existsSync(file) ? fs.readFileSync(file) : null;
    if (bytes) fs.rmSync(file);
    return bytes;
}

async function downloadsAreTheProgramsFiles(tab) {
    fs.copyFileSync(path.join(examples, 'canon.mml'), path.join(folder, 'canon.mml'));
    fs.mkdirSync(downloads);
    fs.mkdirSync(path.join(folder, 'other'));
    const session = await tab.createCDPSession();
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await tab.click('#cassette');
    const cases = [
        { choices: '', set: {} },
        { choices: '=fast,inverted,22050,8bit', set: { fast: true, inverted: true, rate: '22050', bits: '8' } },
    ];
    for (const { choices, set } of cases) {
        await tab.evaluate((s) => {
            document.getElementById('cassette-fast').checked = s.fast ?? false;
            document.getElementById('cassette-inverted').checked = s.inverted ?? false;
            document.getElementById('cassette-rate').value = s.rate ?? '44100';
            document.getElementById('cassette-bits').value = s.bits ?? '16';
        }, set);
        await tab.click('#download-cassette');
        const got = await downloaded('canon.TAPE.WAV');
        const said = runNative(zirvon, folder, 'canon.mml', `/cassette${choices}`, '-o', 'other/canon.MZT').stderr.toString();
        check(got?.equals(fs.readFileSync(path.join(folder, 'other', 'canon.TAPE.WAV'))),
            `the page's canon.TAPE.WAV is the program's (/cassette${choices})`);
        const status = await tab.$eval('#cassette-status', (s) => s.textContent);
        check(said.endsWith(`zirvon: ${status.replace("'canon.", "'other/canon.")}\n`), `the page says what the program says: ${status}`);
    }
}

async function aRecordingOpensAsItsImage(tab) {
    runNative(zirvon, folder, 'canon.mml', 'CANON', '/cassette');
    const listing = runNative(zirvon, folder, 'canon.MZT', '/list').stdout.toString('utf8');
    const listed = runNative(zirvon, folder, 'canon.TAPE.WAV', '/list').stderr.toString('utf8');
    await (await tab.$('#recording-input')).uploadFile(path.join(folder, 'canon.TAPE.WAV'));
    await tab.waitForSelector('#listing:not([hidden])', { timeout: 10000 }).catch(() => null);
    check((await tab.$eval('#listing', (pre) => pre.textContent)) === listing, 'the recording opens as its image, listed');
    check((await tab.$eval('#file-name', (s) => s.textContent)) === 'canon.TAPE.MZT', 'named after the recording');
    const files = await tab.$eval('#cassette-listing', (pre) => pre.textContent);
    check(listed.startsWith(`zirvon: ${files.split('\n')[0]}\n${files.split('\n')[1]}\n`),
        `the files found are listed as the program lists them: ${files}`);
    fs.writeFileSync(path.join(folder, 'noise.wav'), fs.readFileSync(path.join(folder, 'canon.TAPE.WAV')).subarray(0, 44));
    await (await tab.$('#recording-input')).uploadFile(path.join(folder, 'noise.wav'));
    await tab.waitForFunction(() => document.getElementById('cassette-status').classList.contains('failed'), { timeout: 10000 })
        .catch(() => null);
    const refused = await tab.$eval('#cassette-status', (s) => s.textContent);
    check(refused.startsWith("cannot ") && refused.includes("'noise.wav'"), `a recording without a signal is refused: ${refused}`);
    await tab.click('#edit-source');
}

async function playSendsAndStopStops(tab) {
    await tab.evaluate(() => { document.getElementById('cassette-fast').checked = false; });
    await tab.click('#cassette-play');
    await tab.waitForFunction(() => /^Sending: (gap|tape mark|header)/.test(document.getElementById('cassette-status').textContent),
        { timeout: 10000 }).catch(() => null);
    const sending = await tab.$eval('#cassette-status', (s) => s.textContent);
    check(/^Sending: (gap|tape mark|header), 0:\d\d left$/.test(sending), `Play says what goes out and the time left: ${sending}`);
    await tab.click('#cassette-stop');
    check((await tab.$eval('#cassette-status', (s) => s.textContent)) === 'stopped', 'Stop stops it');
}

const { browser, close } = await launch();
try {
    const tab = await openPage(browser, pathToFileURL(page).href);
    await downloadsAreTheProgramsFiles(tab);
    await aRecordingOpensAsItsImage(tab);
    await playSendsAndStopStops(tab);
} finally {
    await close();
    fs.rmSync(folder, { recursive: true, force: true });
}
finish('cassette_test');
