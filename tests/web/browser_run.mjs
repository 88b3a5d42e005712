// What the browser tests share: the browser driver, the list of failures,
// and the end that closes the browser, the server and the profile and exits
// with the verdict.
import fs from 'node:fs';

// puppeteer-core, or exit code 77 (skipped) when web.setup has not installed it.
export async function loadPuppeteer() {
  try {
    return (await import('puppeteer-core')).default;
  } catch {
    console.error('puppeteer-core is not installed: the web.setup test installs it');
    process.exit(77);
  }
}

export const failures = [];
export const check = (ok, message) => { if (!ok) failures.push(message); };

// Runs `body` (a throw counts as a failure), then closes what the test opened
// and exits: 0 when nothing failed.
export async function runAndExit(body, { browser, server, profile }) {
  try {
    await body();
  } catch (error) {
    failures.push(String(error.stack || error));
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  for (const failure of failures) console.error(failure);
  process.exit(failures.length ? 1 : 0);
}
