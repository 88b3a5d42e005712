// One whole show of the web build in a headless browser, without pictures
// taken: the page's own measure of each tick's work (median, 99th percentile,
// longest) and the audio blocks that came late, as one line of numbers.
//
// Usage: node web-ticks.mjs SITE BROWSER [TICKS_FILE]
//   BROWSER     chromium or firefox (through a PulseAudio null sink)
//   TICKS_FILE  gets each tick as "seconds-since-the-click milliseconds", and
//               the show's log lines as "# seconds line", to see which ticks are long
// GRIDSHOW_WEB_SCREEN (default 1920x1080) is the page's screen.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launch, screenFromEnvironment, serve } from '../tests/web/browser_launch.mjs';
import { loadPuppeteer } from '../tests/web/browser_run.mjs';

const [site, browserName, ticksFile] = process.argv.slice(2);
const screen = screenFromEnvironment('1920x1080');
const puppeteer = await loadPuppeteer();
const server = await serve(site);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), `gridshow-bench-${browserName}-`));
const browser = await launch(puppeteer, browserName, profile, screen);
try {
  const page = await browser.newPage();
  const started = Date.now();
  const lines = [];
  page.on('console', (message) => lines.push(`# ${((Date.now() - started) / 1000).toFixed(3)} ${message.text()}`));
  // Each tick's time beside its work: the page's measure, seen on its way in.
  await page.evaluateOnNewDocument(() => {
    window.benchTicks = [];
    let create;
    Object.defineProperty(window, 'createGridshow', {
      get: () => create,
      set: (made) => {
        create = (options) => {
          const measured = options.page.tickMeasured;
          options.page.tickMeasured = (ms) => {
            window.benchTicks.push([performance.now(), ms]);
            measured(ms);
          };
          return made(options);
        };
      },
    });
  });
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector('#start');
  const clicked = await page.evaluate(() => performance.now());
  await page.click('#start');
  await page.waitForFunction(() => document.body.dataset.exitCode !== undefined,
                             { timeout: 120000, polling: 1000 });
  const stats = await page.evaluate(() => window.gridshowStats());
  const ticks = await page.evaluate(() => window.benchTicks);
  const longest = Math.max(...ticks.map(([, ms]) => ms));
  console.log(`ticks ${stats.ticks} median_ms ${stats.tickMedianMs.toFixed(2)} p99_ms ` +
              `${stats.tickP99Ms.toFixed(2)} max_ms ${longest.toFixed(2)} late ${stats.lateBlocks} ` +
              `late_after_1s ${stats.lateBlocksAfterFirstSecond}`);
  if (ticksFile) {
    const rows = ticks.map(([at, ms]) => `${((at - clicked) / 1000).toFixed(3)} ${ms.toFixed(3)}`);
    fs.writeFileSync(ticksFile, [...lines, ...rows].join('\n') + '\n');
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
// The sound server the browser played through ends with this process.
process.exit(0);
