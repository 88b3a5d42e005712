// A video written by `gridshow-headless --video`, played in Debian's chromium
// through puppeteer-core: it opens with the size and duration of its run and,
// playing, decodes both pictures and sound.
//
// Usage: node video_play.mjs VIDEO WIDTH HEIGHT TICKS
// Exit code 77: the browser driver is missing (skipped).
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { check, loadPuppeteer, runAndExit } from './browser_run.mjs';

const [video, width, height, ticks] = process.argv.slice(2);
const puppeteer = await loadPuppeteer();

const page_html = '<!doctype html><video id="v" src="/show.webm" preload="auto"></video>';
const server = http.createServer((request, response) => {
  if (request.url === '/show.webm') {
    response.writeHead(200, { 'Content-Type': 'video/webm' }).end(fs.readFileSync(video));
  } else {
    response.writeHead(200, { 'Content-Type': 'text/html' }).end(page_html);
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'gridshow-video-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--autoplay-policy=no-user-gesture-required'],
});
await runAndExit(async () => {
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  const opened = await page.evaluate(() => new Promise((resolve) => {
    const v = document.getElementById('v');
    const report = () => resolve({ width: v.videoWidth, height: v.videoHeight, duration: v.duration,
                                   error: v.error && v.error.message });
    if (v.readyState >= 1) report();
    v.addEventListener('loadedmetadata', report);
    v.addEventListener('error', report);
  }));
  check(!opened.error, `the video does not open: ${opened.error}`);
  check(opened.width === Number(width) && opened.height === Number(height),
        `picture ${opened.width}x${opened.height}, not ${width}x${height}`);
  // The pictures' span, give or take the last picture's and the sound's tail.
  const expected = Number(ticks) * 0.016;
  check(Math.abs(opened.duration - expected) < 0.1, `duration ${opened.duration} s, not about ${expected} s`);
  const played = await page.evaluate(() => new Promise((resolve) => {
    const v = document.getElementById('v');
    v.play().catch((error) => resolve({ error: error.message }));
    setTimeout(() => resolve({ time: v.currentTime, frames: v.webkitDecodedFrameCount,
                               audio: v.webkitAudioDecodedByteCount }), 2000);
  }));
  check(!played.error, `play() refused: ${played.error}`);
  check(played.time > 1, `after 2 s of playing the video stands at ${played.time} s`);
  check(played.frames > 50, `${played.frames} pictures decoded`);
  check(played.audio > 0, 'no sound decoded');
  console.log(JSON.stringify({ opened, played }));
}, { browser, server, profile });
