// What the page's tests share: headless Chromium (Debian's chromium) driven
// by puppeteer-core, the page loaded from disk, the native program run in a
// scratch folder, and the rule for a missing tool: skipped (status 77) on a
// developer's machine, failed under CI=true, where nothing may be skipped.
//   node TEST.mjs ZIRVON PAGE

import { spawnSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { CHROMIUM, launchChromium } from '../chromium.mjs';

export const SKIPPED = 77;

function missing(what) {
    if (['true', '1'].includes(process.env.CI)) {
        console.error(`${what} is missing, and CI=true wants every check to run`);
        process.exit(1);
    }
    console.log(`${what} is missing: skipped`);
    process.exit(SKIPPED);
}

/** The command line's arguments: the native binary and the page, both
 * checked, and Chromium unless `browser` is false; the page's tests cannot
 * run without them. */
export function argumentsOrSkip({ browser = true } = {}) {
    const [zirvon, page] = process.argv.slice(2).map((p) => path.resolve(p));
    if (!zirvon || !page) {
        console.error('usage: node TEST.mjs ZIRVON PAGE');
        process.exit(2);
    }
    if (!fs.existsSync(zirvon)) missing(`the program ${zirvon}`);
    if (!fs.existsSync(page)) missing(`the page ${page} (scripts/web.sh builds it)`);
    if (browser && !fs.existsSync(CHROMIUM)) missing('chromium (Debian package chromium)');
    return { zirvon, page };
}

/** Starts Chromium with a profile of its own, thrown away by close(). */
export async function launch() {
    let puppeteer;
    try {
        puppeteer = (await import('puppeteer-core')).default;
    } catch {
        missing('puppeteer-core (scripts/web.sh installs it into web/node_modules)');
    }
    return launchChromium(puppeteer);
}

/** A new tab with the page at `url`, once window.zirvonReady has resolved;
 * errors on the page fail the test. */
export async function openPage(browser, url) {
    const tab = await browser.newPage();
    await tab.setViewport({ width: 1280, height: 860 });
    tab.on('pageerror', (error) => fail(`error on the page: ${error.message}`));
    await tab.goto(url);
    await tab.evaluate(() => window.zirvonReady);
    return tab;
}

const failures = [];

/** Records a failed check; the test goes on and fails at its end. */
export function fail(message) {
    failures.push(message);
    if (failures.length <= 20) console.log(`FAILED: ${message}`);
}

export function check(condition, message) {
    if (!condition) fail(message);
    return condition;
}

/** Ends the test: status 0 when every check passed. */
export function finish(name) {
    console.log(failures.length ? `${name}: ${failures.length} checks failed` : `${name}: passed`);
    process.exit(failures.length ? 1 : 0);
}

/** Runs the native program in `folder`: {status, stdout, stderr}. */
export function runNative(zirvon, folder, ...args) {
    const run = spawnSync(zirvon, args, { cwd: folder, encoding: 'buffer' });
    return { status: run.status, stdout: run.stdout, stderr: run.stderr.toString('utf8') };
}

export function digest(bytes) {
    return crypto.createHash('sha256').update(bytes).digest('hex');
}

export function scratchFolder() {
    return fs.mkdtempSync(path.join(os.tmpdir(), 'zirvon-web-'));
}
