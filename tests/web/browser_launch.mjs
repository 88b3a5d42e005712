// Serving the site and starting a browser on it, shared by the web tests and
// bench/web-ticks.mjs: a static server on a free local port, Debian's chromium
// or firefox-esr with a fresh profile and a screen of the size asked for.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };

// Serves index.html from `site` and the rest (the program) from `program`.
export function serve(site, program = site) {
  const server = http.createServer((request, response) => {
    const name = path.basename(new URL(request.url, 'http://localhost').pathname.slice(1) || 'index.html');
    const file = path.join(name === 'index.html' ? site : program, name);
    if (!fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A PulseAudio daemon with a null sink, as the Wine tests start one, under
// `root`; its socket is there when this returns.
async function startSoundServer(root) {
  const runtime = path.join(root, 'runtime');
  fs.mkdirSync(runtime, { mode: 0o700 });
  const daemon = spawn('pulseaudio', ['--daemonize=no', '--exit-idle-time=-1', '-n',
                                      '--load=module-null-sink sink_name=null',
                                      '--load=module-native-protocol-unix'],
                       { env: { ...process.env, HOME: root, XDG_RUNTIME_DIR: runtime }, stdio: 'ignore' });
  const socket = path.join(runtime, 'pulse', 'native');
  for (let waited = 0; !fs.existsSync(socket); ++waited) {
    if (waited === 100 || daemon.exitCode !== null) throw new Error('PulseAudio did not start');
    await sleep(100);
  }
  return { daemon, socket };
}

// Firefox plays only through PulseAudio here, so that no other device of the
// machine can stand in for the missing server; without `withSound` it has none.
let soundServer = null;
process.on('exit', () => soundServer?.daemon.kill());
async function launchFirefox(puppeteer, profile, screen, withSound) {
  if (withSound) soundServer = await startSoundServer(profile);
  const socket = soundServer ? soundServer.socket : path.join(profile, 'no-such-server');
  return puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    userDataDir: path.join(profile, 'firefox'),
    defaultViewport: screen,
    extraPrefsFirefox: { 'media.cubeb.backend': 'pulse' },
    env: { ...process.env, PULSE_SERVER: `unix:${socket}`,
           PULSE_COOKIE: path.join(profile, '.config', 'pulse', 'cookie') },
  });
}

function launchChromium(puppeteer, profile, screen) {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    defaultViewport: { ...screen, deviceScaleFactor: 1 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           `--window-size=${screen.width},${screen.height}`],
  });
}

// `browserName` chromium or firefox, in the profile folder `profile`.
export function launch(puppeteer, browserName, profile, screen, { withSound = true } = {}) {
  return browserName === 'firefox' ? launchFirefox(puppeteer, profile, screen, withSound)
                                   : launchChromium(puppeteer, profile, screen);
}

// The screen the page gets: GRIDSHOW_WEB_SCREEN (WIDTHxHEIGHT), else `fallback`.
export function screenFromEnvironment(fallback) {
  const [width, height] = (process.env.GRIDSHOW_WEB_SCREEN || fallback).split('x').map(Number);
  return { width, height };
}
