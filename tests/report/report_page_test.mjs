// Opens a match report in the system's headless Chromium, as a user would:
// plays, seeks and selects, and checks what the page shows against the
// parameter file the conversion wrote. The figures themselves are the
// program's (tests/report_figures_test.cpp); this checks what the page does.
//   node report_page_test.mjs REPORT.html CONVERTED.bin CHANGED_FRAMES [SCREENSHOT.png]
// CHANGED_FRAMES lists (comma-separated) the frames whose record was altered
// in the .bin beside the sound before the report was made.
import { chromium } from 'playwright-core';
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const [reportPath, binPath, changedList, screenshotPath] = process.argv.slice(2);
const records = readFileSync(binPath);
const frames = records.length / 16;
const changed = changedList.split(',').map(Number);
const record = (i) => ({
  voice: records.readInt32LE(16 * i) * 16 + records.readInt32LE(16 * i + 12),
  frequency: records.readInt32LE(16 * i + 4),
  gain: records.readInt32LE(16 * i + 8),
});

let passed = 0, failed = 0;
function check(what, ok, detail = '') {
  if (ok) { passed++; } else { failed++; console.log(`FAIL ${what} ${detail}`); }
}
const near = (a, b, tolerance) => Math.abs(a - b) <= tolerance;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
const problems = [];
page.on('pageerror', (error) => problems.push(String(error)));
page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
page.on('request', (request) => {
  if (!request.url().startsWith('file:')) problems.push('fetched ' + request.url().slice(0, 60));
});
await page.goto(pathToFileURL(reportPath).href);
await page.waitForSelector('body[data-ready="1"]');

const selected = async () => Number(await page.getAttribute('body', 'data-selected'));
const playhead = async () => {
  const box = await page.locator('#playhead').boundingBox();
  return { x: box.x + box.width / 2, time: Number(await page.getAttribute('#playhead', 'data-time')) };
};
const audioTimes = () => page.evaluate(() => ['original', 'preview'].map((id) => document.getElementById(id).currentTime));
const waitPlaying = (what) => page.waitForSelector(`body[data-playing="${what}"]`, { state: 'attached' });

// The page opens on the frame the program chose, and shows its record.
const opening = await page.evaluate(() => data.firstFrame);
check('opens on the frame the program chose', opening >= 0 && (await selected()) === opening,
      `${await selected()} instead of ${opening}`);
check('its record as the .bin holds it', (await page.textContent('#frame-voice')).startsWith(
      `${record(opening).voice} at ${record(opening).frequency} Hz, gain ${record(opening).gain} `));
for (const id of ['original', 'preview']) {
  const duration = await page.evaluate((name) => document.getElementById(name).duration, id);
  check(`${id}: playable, as long as the frames`, near(duration, frames / 60, 0.01), String(duration));
}
const chartWidth = (await page.locator('#fundamental').boundingBox()).width;
check('charts take the window\'s width', chartWidth > 1400 - 60, String(chartWidth));

// A click on a chart selects the frame under it, moves the playhead there
// and seeks both sounds; the time axis labels name the time clicked.
await page.locator('#fundamental').scrollIntoViewIfNeeded();
const fundamentalBox = await page.locator('#fundamental').boundingBox();
const ticks = await page.locator('#fundamental text.time').evaluateAll((nodes) => nodes.map((node) => {
  const box = node.getBBox();
  return { label: node.textContent.replace(' s', ''), x: box.x + box.width / 2 };
}));
const clicks = [];
for (const tick of [ticks[ticks.length - 2], ticks[1]]) {
  const label = tick.label;
  const x = fundamentalBox.x + tick.x;
  await page.mouse.move(x, fundamentalBox.y + 40);
  const hover = await page.textContent('#hover');
  await page.mouse.click(x, fundamentalBox.y + 40);
  const frame = await selected();
  const at = await playhead();
  const [originalTime, previewTime] = await audioTimes();
  check(`click at ${label} s: that frame`, near(frame, Number(label) * 60, 1), String(frame));
  check(`click at ${label} s: hover names the frame`, hover.startsWith(`frame ${frame} `), hover);
  check(`click at ${label} s: playhead where clicked`, near(at.x, x, 1.5) && near(at.time, Number(label), 1 / 60),
        JSON.stringify(at));
  check(`click at ${label} s: both sounds seek there`, near(originalTime, at.time, 0.002) && near(previewTime, at.time, 0.002),
        `${originalTime} ${previewTime}`);
  const expected = record(frame);
  const voice = await page.textContent('#frame-voice');
  check(`frame ${frame}: the .bin's voice, frequency and gain`,
        voice.startsWith(`${expected.voice} at ${expected.frequency} Hz, gain ${expected.gain} `), voice);
  const bins = await page.locator('#bins rect.target').evaluateAll((rects) => rects.map((r) => Number(r.getAttribute('data-value'))));
  check(`frame ${frame}: its 64 bins`, bins.length === 64 &&
        JSON.stringify(bins) === JSON.stringify(await page.evaluate((k) => data.target[k], frame)));
  clicks.push({ x, time: at.time });
}
const xOfTime = (t) => clicks[0].x + (t - clicks[0].time) * (clicks[1].x - clicks[0].x) / (clicks[1].time - clicks[0].time);

// Play the original, switch to the preview at the same moment, pause: the
// playhead follows whichever sounds.
await page.click('#play-original');
await waitPlaying('original');
await page.waitForFunction((t) => Number(document.getElementById("playhead").dataset.time) > t + 0.2, clicks[1].time);
await page.click('#play-preview');
await waitPlaying('preview');
const [switchedAt] = await audioTimes();
check('the original pauses when the preview starts', await page.evaluate(() => document.getElementById('original').paused));
await page.waitForFunction((t) => Number(document.getElementById('playhead').dataset.time) > t + 0.2, switchedAt);
await page.click('#play-preview');
await waitPlaying('');
const [, previewTime] = await audioTimes();
const stopped = await playhead();
check('the preview carried on from where the original was', previewTime > switchedAt + 0.2, `${switchedAt} ${previewTime}`);
check('the playhead shows where the preview stopped',
      near(stopped.time, previewTime, 0.002) && near(stopped.x, xOfTime(previewTime), 1.5),
      `${JSON.stringify(stopped)} ${previewTime} ${xOfTime(previewTime)}`);

// The selected frame alone: the original held, then the preview.
// Each state is recorded as it comes, so a slow machine cannot miss a short one.
const frameNow = await selected();
await page.evaluate(() => {
  window.playingStates = [];
  new MutationObserver(() => window.playingStates.push(document.body.dataset.playing))
    .observe(document.body, { attributeFilter: ['data-playing'] });
});
await page.click('#play-frame');
await page.waitForSelector(`body[data-frame-played="${frameNow}"]`, { state: 'attached' });
const states = await page.evaluate(() => window.playingStates.filter((s, k, all) => s !== (k > 0 ? all[k - 1] : '')));
check('the selected frame was played, original then preview',
      JSON.stringify(states) === JSON.stringify(['frame-original', 'frame-preview', '']), JSON.stringify(states));

// The .bin beside the sound had a few records changed: the page lists them,
// marks them and shows the .bin's record beside the search's.
check('the .bin differs in a few frames', (await page.getAttribute('#bin-section', 'data-agreement')) === 'some');
const listed = await page.locator('#bin-list li').evaluateAll((items) => items.map((li) => Number(li.dataset.frame)));
check('the differing frames are listed', JSON.stringify(listed) === JSON.stringify(changed), JSON.stringify(listed));
check('the differing frames are marked', (await page.getAttribute('#bin-diff path', 'data-frames')) === String(changed.length));
await page.click(`#bin-list li[data-frame="${changed[1]}"]`);
check('a listed frame can be selected', (await selected()) === changed[1]);
const binText = await page.textContent('#frame-bin');
check('the .bin record is shown beside the search\'s', binText.startsWith('differs: ') &&
      !binText.includes(`gain ${record(changed[1]).gain}`), binText);

// A silent frame shows the record the .bin holds for it, as any other does.
await page.locator('#fundamental').click({ position: { x: xOfTime(2.5 / 60) - fundamentalBox.x, y: 40 } });
const silentFrame = await selected();
const silentText = await page.textContent('#frame-voice');
check('a silent frame shows its record as the .bin holds it',
      (await page.evaluate((k) => data.silent[k], silentFrame)) === 1 && silentText.startsWith(
        `${record(silentFrame).voice} at ${record(silentFrame).frequency} Hz, gain ${record(silentFrame).gain} `),
      `frame ${silentFrame}: ${silentText}`);

if (screenshotPath) {
  await page.locator('#fundamental').click({ position: { x: fundamentalBox.width * 0.55, y: 40 } });
  await page.screenshot({ path: screenshotPath, fullPage: true });
}

// A narrow window: the charts shrink to it and nothing runs off the side.
await page.setViewportSize({ width: 420, height: 800 });
await page.waitForFunction(() => Number(document.getElementById('fundamental').getAttribute('width')) < 420);
check('nothing wider than a narrow window',
      await page.evaluate(() => document.documentElement.scrollWidth <= 420));

check('nothing fetched, no script errors', problems.length === 0 &&
      (await page.evaluate(() => performance.getEntriesByType('resource').length)) === 0, problems.join('; '));
await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
