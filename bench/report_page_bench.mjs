// Opens a report page in headless Chromium a few times and prints how long it
// took to be drawn: from the start of navigation to the page's script having
// run, and to the first frame painted after it.
//   node report_page_bench.mjs REPORT.html [RUNS]
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const { chromium } = createRequire(import.meta.url)('../tests/report/node_modules/playwright-core');
const [reportPath, runs = '5'] = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'] });
const ready = [], painted = [];
for (let run = 0; run < Number(runs); run++) {
  const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
  await page.goto(pathToFileURL(reportPath).href);
  await page.waitForSelector('body[data-painted-ms]', { state: 'attached' });
  ready.push(Number(await page.getAttribute('body', 'data-ready-ms')));
  painted.push(Number(await page.getAttribute('body', 'data-painted-ms')));
  await page.close();
}
await browser.close();
const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];
console.log(`script done: median ${median(ready)} ms, slowest ${Math.max(...ready)} ms`);
console.log(`first paint: median ${median(painted)} ms, slowest ${Math.max(...painted)} ms`);
