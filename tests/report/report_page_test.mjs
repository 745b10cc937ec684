// Opens a match report in the system's headless Chromium, as a user would,
// and checks what it shows against the parameter file the conversion wrote.
//   node report_page_test.mjs REPORT.html PARAMETERS.bin [SCREENSHOT.png]
import { chromium } from 'playwright-core';
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const [reportPath, binPath, screenshotPath] = process.argv.slice(2);
const records = readFileSync(binPath);
const frames = records.length / 16;
const record = (i) => ({
  voice: records.readInt32LE(16 * i) * 16 + records.readInt32LE(16 * i + 12),
  frequency: records.readInt32LE(16 * i + 4),
  gain: records.readInt32LE(16 * i + 8),
});

let passed = 0, failed = 0;
function check(what, ok, detail = '') {
  if (ok) { passed++; } else { failed++; console.log(`FAIL ${what} ${detail}`); }
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const page = await browser.newPage({ viewport: { width: 1000, height: 1100 } });
const problems = [];
page.on('pageerror', (error) => problems.push(String(error)));
page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
page.on('request', (request) => {
  if (!request.url().startsWith('file:')) problems.push('fetched ' + request.url());
});
await page.goto(pathToFileURL(reportPath).href);

check('no script errors or fetches', problems.length === 0, problems.join('; '));
check('summary counts the frames',
      (await page.textContent('#summary-frames')) === String(frames));
for (const id of ['fundamental', 'gain', 'error']) {
  const points = await page.getAttribute(`#${id} polyline`, 'points');
  check(`${id}: one point per frame`, points.trim().split(/\s+/).length === frames);
}
check('voices: one dot per frame', (await page.locator('#voices circle').count()) === frames);

// Click a few voiced frames' dots and read what the page then shows.
const picks = [Math.floor(frames / 3), Math.floor(frames / 2), frames - 12].filter((i) => i >= 0);
for (const i of picks) {
  await page.locator(`#voices circle[data-frame="${i}"]`).click({ force: true });
  const text = await page.textContent('#frame');
  const expected = record(i);
  check(`frame ${i}: heading`, text.startsWith(`frame ${i} `), text);
  check(`frame ${i}: voice, frequency and gain of the .bin`,
        text.includes(`voice ${expected.voice} at ${expected.frequency} Hz, gain ${expected.gain},`), text);
  const bins = await page.locator('#bins rect.target').count();
  const scaled = await page.locator('#bins rect.scaled').count();
  check(`frame ${i}: 64 bins of each`, bins === 64 && scaled === 64, `${bins} ${scaled}`);
  const shown = await page.locator('#bins rect.target').evaluateAll(
      (rects) => rects.map((r) => Number(r.getAttribute('data-value'))));
  const embedded = await page.evaluate((k) => data.target[k], i);
  check(`frame ${i}: the bins are that frame's`, JSON.stringify(shown) === JSON.stringify(embedded));
}
// A click on the chart area picks the nearest frame too.
const box = await page.locator('#fundamental').boundingBox();
await page.mouse.click(box.x + box.width - 2, box.y + box.height / 2);
check('a click at the right end selects the last frame',
      (await page.textContent('#frame')).startsWith(`frame ${frames - 1} `));

if (screenshotPath) {
  await page.locator(`#voices circle[data-frame="${picks[1]}"]`).click({ force: true });
  await page.screenshot({ path: screenshotPath, fullPage: true });
}
check('no script errors after clicking', problems.length === 0, problems.join('; '));
await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
