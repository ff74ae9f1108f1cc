// The README's picture of the page, docs/zirvon-web.png: canon.mml with a
// mistake typed in, marked and explained, while it plays. Taken by
// headless Chromium (Debian's chromium).
//   node web/screenshot.mjs [PAGE]     (default build/web/zirvon.html)

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import puppeteer from 'puppeteer-core';

import { launchChromium } from './chromium.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const page = path.resolve(process.argv[2] ?? path.join(here, '..', 'build', 'web', 'zirvon.html'));
const out = path.join(here, '..', 'docs', 'zirvon-web.png');

const { browser, close } = await launchChromium(puppeteer, ['--hide-scrollbars']);
try {
    const tab = await browser.newPage();
    await tab.setViewport({ width: 1200, height: 760 });
    await tab.goto(pathToFileURL(page).href);
    await tab.evaluate(() => window.zirvonReady);
    // A command the dialect does not have, on the third bar.
    const lines = await tab.$$('#editor .cm-line');
    await lines[5].click({ offset: { x: 4, y: 4 } });
    for (let i = 0; i < 12; i++) await tab.keyboard.press('ArrowRight');
    await tab.keyboard.type('V ');
    await tab.click('#play');
    await new Promise((resolve) => setTimeout(resolve, 5300));
    const mark = await (await tab.$('.cm-lintRange-warning')).boundingBox();
    await tab.mouse.move(mark.x + mark.width / 2, mark.y + mark.height / 2);
    await tab.waitForSelector('.cm-tooltip-lint');
    await tab.screenshot({ path: out });
    console.log(`${out}: ${fs.statSync(out).size.toLocaleString('en')} bytes`);
} finally {
    await close();
}
