// The page's timing in headless Chromium (Debian's chromium), for a song of
// five minutes: load to ready, compile per keystroke, Play to first sound
// (from the start and from a cursor near the end), Stop to silence. A
// benchmark, not a test: it prints the figures and judges nothing.
//   node web/bench/page_bench.mjs [PAGE]      (default build/web/zirvon.html)

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import puppeteer from 'puppeteer-core';

import { launchChromium } from '../chromium.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const page = path.resolve(process.argv[2] ?? path.join(here, '..', '..', 'build', 'web', 'zirvon.html'));
const ROUNDS = 5;
const KEYSTROKES = 60;

/** examples/canon.mml's bars again and again: some five minutes of three voices. */
function fiveMinuteSong() {
    const canon = fs.readFileSync(path.join(here, '..', '..', 'examples', 'canon.mml'), 'utf8');
    const bars = canon.split('\r\n').filter((line) => line.includes('[')).join('\r\n');
    return `A five-minute song: the canon 21 times\r\n${Array(21).fill(bars).join('\r\n')}\r\n`;
}

function stats(values) {
    const sorted = [...values].sort((a, b) => a - b);
    const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
    return `median ${at(0.5).toFixed(1)} ms, 90th percentile ${at(0.9).toFixed(1)} ms, most ${sorted.at(-1).toFixed(1)} ms`;
}

const entries = (tab, name) => tab.evaluate((n) => performance.getEntriesByName(n).map((e) => e.startTime + e.duration), name);

async function openSong(browser, url, song) {
    const tab = await browser.newPage();
    await tab.setViewport({ width: 1280, height: 860 });
    await tab.goto(url);
    await tab.evaluate(() => window.zirvonReady);
    const file = path.join(os.tmpdir(), `zirvon-bench-${process.pid}.mml`);
    fs.writeFileSync(file, song);
    await (await tab.$('#file-input')).uploadFile(file);
    fs.rmSync(file);
    await tab.waitForFunction((name) => document.getElementById('file-name').textContent === name, {}, path.basename(file));
    return tab;
}

async function firstSound(tab, button) {
    await tab.evaluate(() => performance.clearMarks());
    await tab.click(button);
    await tab.waitForFunction(() => performance.getEntriesByName('zirvon: first sound').length > 0, { timeout: 10000 });
    const [play] = await entries(tab, 'zirvon: play');
    const [sound] = await entries(tab, 'zirvon: first sound');
    const latency = await tab.evaluate(() => performance.getEntriesByName('zirvon: first sound')[0].detail);
    await tab.evaluate(() => performance.clearMarks());
    await tab.click('#stop');
    await tab.waitForFunction(() => performance.getEntriesByName('zirvon: silence').length > 0, { timeout: 10000 });
    const [stop] = await entries(tab, 'zirvon: stop');
    const [silence] = await entries(tab, 'zirvon: silence');
    const rendered = await tab.evaluate(() => performance.getEntriesByName('zirvon: silence')[0].detail.rendered);
    return { sound: sound - play, silence: silence - stop, rendered, latency };
}

const { browser, close } = await launchChromium(puppeteer);
try {
    const url = pathToFileURL(page).href;
    console.log(`${page}: ${fs.statSync(page).size.toLocaleString('en')} bytes`);
    const loads = [];
    for (let i = 0; i < ROUNDS; i++) {
        const tab = await browser.newPage();
        await tab.goto(url);
        await tab.evaluate(() => window.zirvonReady);
        loads.push((await entries(tab, 'zirvon: ready'))[0]);
        await tab.close();
    }
    console.log(`load to ready (from the start of navigation): ${stats(loads)}`);

    const song = fiveMinuteSong();
    const tab = await openSong(browser, url, song);
    const length = await tab.evaluate((text) => / \u00b7 (\d+:\d\d) \u00b7 /.exec(window.zirvon.svg(text).data)[1], song);
    console.log(`the song: ${song.length.toLocaleString('en')} bytes of MML, lasting ${length}`);
    // Keystrokes in the middle of the song, each compiled and marked.
    const lines = await tab.$$('#editor .cm-line');
    await lines[20].click({ offset: { x: 4, y: 4 } });
    await tab.evaluate(() => performance.clearMeasures());
    for (let i = 0; i < KEYSTROKES; i++) await tab.keyboard.type(i % 2 ? 'C ' : 'D ');
    const compiles = await tab.evaluate(() => performance.getEntriesByName('zirvon: compile').map((e) => e.duration));
    console.log(`compile per keystroke (${compiles.length} compiles): ${stats(compiles)}`);

    const fromStart = [];
    const silences = [];
    const renderedAfterStop = [];
    let latency;
    for (let i = 0; i < ROUNDS; i++) {
        const run = await firstSound(tab, '#play');
        fromStart.push(run.sound);
        silences.push(run.silence);
        renderedAfterStop.push(run.rendered);
        latency = run.latency;
    }
    await tab.keyboard.down('Control');
    await tab.keyboard.press('End');
    await tab.keyboard.up('Control');
    for (let i = 0; i < 20; i++) await tab.keyboard.press('ArrowUp');
    await tab.keyboard.press('Home');
    const fromCursor = [];
    for (let i = 0; i < ROUNDS; i++) fromCursor.push((await firstSound(tab, '#play-cursor')).sound);
    console.log(`Play to first sound heard, from the start: ${stats(fromStart)}`);
    console.log(`Play from cursor (20 lines before the end) to first sound heard: ${stats(fromCursor)}`);
    console.log(`Stop to silence heard: ${stats(silences)}`);
    console.log(`sound the audio thread renders after the stop reaches it: ${stats(renderedAfterStop)}`);
    console.log(`(the audio output's own latency: base ${(latency.baseLatency * 1000).toFixed(1)} ms, ` +
        `output ${(latency.outputLatency * 1000).toFixed(1)} ms)`);
} finally {
    await close();
}
