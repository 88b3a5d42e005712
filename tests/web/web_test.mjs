// The web build (build-web/) in Debian's chromium and firefox-esr, driven
// through puppeteer-core. The test serves the site itself on a free local port
// and starts a browser with a fresh profile for each case.
//
// Usage: node web_test.mjs SITE ARTIFACTS BROWSER CASE [PROGRAM]
//   BROWSER   chromium or firefox; firefox plays through a PulseAudio null
//             sink that the test starts, except in no_sound_device
//   full_run  the whole show: the log, the exit code and its time, pictures of
//             the first banner and the plasma, sound, no late block
//   escape    Escape during the show ends it through the teardown, code 0;
//             then the same after "Play again"
//   idle      a page left without the click: no output, no sound
//   no_audio  a browser without WebAudio: the program's failure lines, code 1,
//             and the end screen says why
//   no_sound_device  the same for a browser whose audio never starts (no
//             sound server), within a few seconds of the click
//   teardown_wait  Escape with a PROGRAM whose device keeps its blocks: the
//             teardown waits inside the window procedure and ends with code 0
//   mouse     the caption's minimise button, the restore, the close button
// PROGRAM is a folder whose gridshow.js and gridshow.wasm stand in for the
// site's. Exit code 77: the site or the browser driver is missing (skipped).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch, screenFromEnvironment, serve, sleep } from './browser_launch.mjs';
import { check, failures, loadPuppeteer, runAndExit } from './browser_run.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const [site, artifacts, browserName, testCase, program = site] = process.argv.slice(2);
const firefox = browserName === 'firefox';
// A laptop's screen by default: on a busy machine a smaller screen leaves the
// browser more time. GRIDSHOW_WEB_SCREEN=1920x1080 measures a larger one.
const screen = screenFromEnvironment('1366x768');

for (const file of [path.join(site, 'index.html'), path.join(program, 'gridshow.wasm')]) {
  if (fs.existsSync(file)) continue;
  console.error(`no ${file}: make web builds it`);
  process.exit(77);
}
const puppeteer = await loadPuppeteer();
fs.mkdirSync(artifacts, { recursive: true });

// The full run's standard error, as the whole-program tests expect it.
function expectedFullRun() {
  const source = fs.readFileSync(path.join(here, '..', 'program', 'expected_log.h'), 'utf8');
  const literals = (name) => {
    const definition = new RegExp(`${name} =([^;]*);`).exec(source)[1];
    return [...definition.matchAll(/"((?:[^"\\]|\\.)*)"/g)].map((m) => m[1]).join('');
  };
  const text = literals('started_log') + literals('whole_show_log');
  return text.replace(/\\n/g, '\n').split('\n').slice(0, -1);
}

const server = await serve(site, program);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), `gridshow-${browserName}-`));
const browser = await launch(puppeteer, browserName, profile, screen,
                             { withSound: testCase !== 'no_sound_device' });
const page = await browser.newPage();
const lines = [];
page.on('console', (message) => lines.push(message.text()));
page.on('pageerror', (error) => failures.push(`page error: ${error.message}`));
if (testCase === 'no_audio')
  await page.evaluateOnNewDocument(() => { delete window.AudioContext; });
await page.goto(`http://127.0.0.1:${server.address().port}/`);
await page.waitForSelector('#start');

const exitCode = () => page.evaluate(() => document.body.dataset.exitCode ?? null);

// Waits for a line of the log; false after `seconds`.
async function waitLine(line, seconds) {
  for (let waited = 0; waited < seconds * 10; ++waited) {
    if (lines.includes(line)) return true;
    if (await exitCode() !== null) return lines.includes(line);
    await sleep(100);
  }
  return false;
}

async function waitExit(seconds) {
  for (let waited = 0; waited < seconds * 10; ++waited) {
    const code = await exitCode();
    if (code !== null) return code;
    await sleep(100);
  }
  return null;
}

// Listens to the program's sound where it leaves the worklet, beside the
// speakers, and keeps the loudest sample heard.
async function listen() {
  await page.waitForFunction(() => window.gridshowAudio, { timeout: 10000 });
  await page.evaluate(() => {
    const { context, node } = window.gridshowAudio;
    const analyser = context.createAnalyser();
    node.connect(analyser);
    const samples = new Float32Array(analyser.fftSize);
    window.loudest = 0;
    setInterval(() => {
      analyser.getFloatTimeDomainData(samples);
      for (const sample of samples) window.loudest = Math.max(window.loudest, Math.abs(sample));
    }, 50);
  });
}

// Pictures every second until `line` appears, each with its client area's
// place (NAME.png, NAME.geometry); the newest first, then NAME.1 ... as
// check_screenshot.sh reads them. How far a picture is into an effect is the
// machine's business, so several are kept and one clean one suffices. A
// picture costs the browser a frame of its own and the encoding: once a
// second leaves the page's sound well fed on a busy machine.
async function picturesUntil(name, line, seconds) {
  const kept = [];
  for (let taken = 0; taken < seconds && !lines.includes(line); ++taken) {
    const [main] = await page.evaluate(() => window.gridshowWindows());
    // Firefox's driver encodes as it does (no speed option there).
    const shot = await page.screenshot({ type: 'png', ...(firefox ? {} : { optimizeForSpeed: true }) });
    if (!lines.includes(line)) kept.unshift({ shot, client: main.client });
    kept.length = Math.min(kept.length, 8);
    await sleep(1000);
  }
  kept.forEach(({ shot, client }, n) => {
    const stem = path.join(artifacts, n === 0 ? name : `${name}.${n}`);
    fs.writeFileSync(`${stem}.png`, shot);
    fs.writeFileSync(`${stem}.geometry`, `${client.x} ${client.y} ${client.width} ${client.height}\n`);
  });
  return kept.length > 0;
}

function checkPictures(name, cols, rows) {
  try {
    execFileSync(path.join(here, '..', 'wine', 'check_screenshot.sh'),
                 [path.join(artifacts, `${name}.png`), String(cols), String(rows)], { stdio: 'inherit' });
  } catch {
    failures.push(`no picture of the ${name} shows the ${cols} x ${rows} grid`);
  }
}

async function fullRun() {
  const expected = expectedFullRun();
  await page.click('#start');
  const started = Date.now();
  await listen();
  check(await waitLine(expected[0], 20), 'the show did not start within 20 s');
  // The slide-in lasts about a second; the first banner runs for about 15 s.
  await page.waitForFunction((home) => window.gridshowWindows()[0]?.x === home,
                             { timeout: 20000 }, Math.trunc((screen.width - Math.trunc(screen.width * 0.8)) / 2));
  check(await picturesUntil('banner', 'Effect 0 finished at order 4', 40), 'no picture of the banner');
  check(await waitLine('Effect 1 finished at order 5', 60), 'the plasma did not start');
  check(await picturesUntil('plasma', 'Effect 2 finished at order 7', 40), 'no picture of the plasma');
  const code = await waitExit(100);
  const seconds = (Date.now() - started) / 1000;
  check(code === '0', `exit code ${code}, expected 0`);
  // The show is about 64 s of song; 55 to 75 s leaves room for a slow start
  // on a loaded machine without letting a show at the wrong speed pass.
  check(seconds >= 55 && seconds <= 75, `the show ended ${seconds.toFixed(1)} s after the click`);
  check(JSON.stringify(lines) === JSON.stringify(expected),
        `the console got:\n${lines.join('\n')}\nexpected:\n${expected.join('\n')}`);
  const loudest = await page.evaluate(() => window.loudest);
  // The song plays at a fair level; silence (or only the first silent blocks) stays at 0.
  check(loudest > 0.05, `the loudest sample heard was ${loudest}`);
  const stats = await page.evaluate(() => window.gridshowStats());
  // The first second may stutter while the page and the wasm warm up; after
  // it, every block must be there in time (256 ms of buffering is ample).
  check(stats.lateBlocksAfterFirstSecond === 0, `${stats.lateBlocksAfterFirstSecond} blocks were late after the first second`);
  console.log(`show: ${seconds.toFixed(1)} s; ticks ${stats.ticks}, work per tick median ` +
              `${stats.tickMedianMs.toFixed(2)} ms, 99th percentile ${stats.tickP99Ms.toFixed(2)} ms; ` +
              `late blocks ${stats.lateBlocks} (${stats.lateBlocksAfterFirstSecond} after the first second` +
              `${stats.lateBlocks ? `, at ${stats.lateBlockSeconds.join(', ')} s` : ''}); ` +
              `loudest sample ${loudest.toFixed(3)}`);
  checkPictures('banner', 16, 9);
  checkPictures('plasma', 16, 14);
}

// Twice: the end screen's "Play again" starts a fresh program.
async function escape() {
  for (const button of ['#start', '#again']) {
    lines.length = 0;
    await page.click(button);
    check(await waitLine('Audio initialized successfully using embedded data.', 20),
          `the show did not start from ${button}`);
    await sleep(3000);
    await page.keyboard.press('Escape');
    // Escape is handled at the next tick; 10 s covers a very slow machine.
    const code = await waitExit(10);
    check(code === '0', `exit code ${code} after Escape, expected 0`);
    check(lines.at(-1) === 'Audio deinitialized.', `the console ended with: ${lines.at(-1)}`);
  }
}

async function idle() {
  await sleep(5000);
  check(lines.length === 0, `the console got: ${lines.join(' | ')}`);
  check(await exitCode() === null, 'the page has an exit code');
  check(await page.evaluate(() => window.gridshowAudio === undefined), 'the page made sound');
}

// The program's failure without sound, and the end screen's reason.
async function checkNoSound(code, reason) {
  check(code === '1', `exit code ${code}, expected 1`);
  const expected = ['waveOutOpen failed: 6', 'Audio initialization failed: error.WaveOutOpenFailed',
                    'Audio deinitialized.', 'Failed to create main window', 'error: WindowCreationError'];
  check(JSON.stringify(lines) === JSON.stringify(expected), `the console got: ${lines.join(' | ')}`);
  const shown = await page.$eval('#end-log', (log) => !log.hidden && log.textContent);
  check(shown && shown.endsWith('error: WindowCreationError'), 'the end screen does not show the log');
  const text = await page.$eval('#end-text', (element) => element.textContent);
  check(reason.test(text), `the end screen says: ${text}`);
}

// Started with Enter, the start screen's other way in.
async function noAudio() {
  await page.keyboard.press('Enter');
  await checkNoSound(await waitExit(20), /no WebAudio/);
}

async function noSoundDevice() {
  await page.click('#start');
  const started = Date.now();
  const code = await waitExit(20);
  const seconds = (Date.now() - started) / 1000;
  await checkNoSound(code, /audio did not start/);
  console.log(`no sound device: the end screen ${seconds.toFixed(1)} s after the click`);
}

// The device keeps its blocks past a refused reset, so the teardown waits for
// them in WM_DESTROY, and the show still ends as after any Escape.
async function teardownWait() {
  await page.click('#start');
  check(await waitLine('Audio initialized successfully using embedded data.', 20), 'the show did not start');
  await sleep(1000);
  await page.keyboard.press('Escape');
  const code = await waitExit(10);
  check(code === '0', `exit code ${code} after Escape, expected 0`);
  check(lines.includes('waveOutClose failed: 33'), `the teardown did not wait: ${lines.join(' | ')}`);
  check(lines.at(-1) === 'Audio deinitialized.', `the console ended with: ${lines.at(-1)}`);
}

// The caption's buttons, 46 pixels wide at its right end (close rightmost),
// clicked with the mouse; the page's task-bar button brings the window back.
async function mouse() {
  await page.click('#start');
  check(await waitLine('Audio initialized successfully using embedded data.', 20), 'the show did not start');
  const home = Math.trunc((screen.width - Math.trunc(screen.width * 0.8)) / 2);
  await page.waitForFunction((x) => window.gridshowWindows()[0]?.x === x, { timeout: 20000 }, home);
  const [main] = await page.evaluate(() => window.gridshowWindows());
  const captionMiddle = main.y + (main.client.y - main.y) / 2;
  await page.mouse.click(main.x + main.width - 46 - 23, captionMiddle);
  // The click is handled at the program's next wake, within a tick or two.
  await page.waitForSelector('#taskbar:not([hidden])', { timeout: 10000 });
  check(!(await page.evaluate(() => window.gridshowWindows()[0].visible)), 'the minimised window is shown');
  await page.click('#taskbar');
  await page.waitForFunction(() => window.gridshowWindows()[0].visible, { timeout: 10000 });
  const [restored] = await page.evaluate(() => window.gridshowWindows());
  await page.mouse.click(restored.x + restored.width - 23, restored.y + (restored.client.y - restored.y) / 2);
  const code = await waitExit(10);
  check(code === '0', `exit code ${code} after the close button, expected 0`);
  check(lines.at(-1) === 'Audio deinitialized.', `the console ended with: ${lines.at(-1)}`);
}

const cases = { full_run: fullRun, escape, idle, no_audio: noAudio, no_sound_device: noSoundDevice,
                teardown_wait: teardownWait, mouse };
await runAndExit(() => cases[testCase](), { browser, server, profile });
