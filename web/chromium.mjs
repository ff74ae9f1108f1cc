// Headless Chromium (Debian's chromium), as the page's tests, its benchmark
// and its screenshot start it: no sandbox, GPU or network of its own, and a
// fresh profile, thrown away by close().

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const CHROMIUM = '/usr/bin/chromium';

/** {browser, close}: `puppeteer` is puppeteer-core's default export. */
export async function launchChromium(puppeteer, extraArgs = []) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zirvon-chromium-'));
    const browser = await puppeteer.launch({
        executablePath: CHROMIUM,
        headless: true,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
            '--disable-component-update', '--disable-sync', '--no-first-run', `--user-data-dir=${profile}`,
            ...extraArgs],
    });
    return {
        browser,
        async close() {
            await browser.close();
            fs.rmSync(profile, { recursive: true, force: true });
        },
    };
}
