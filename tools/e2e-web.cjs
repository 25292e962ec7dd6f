// Drives the web build in headless Chromium (Debian's /usr/bin/chromium,
// through playwright-core) as a person would: waits for the page, types
// console commands into the canvas, records a drive, downloads the
// recording with the page's button, loads a recording with the page's file
// field, ends the session with Escape and starts it again. Screenshots of
// the canvas and the facts seen go to the artefact directory, where
// tools/e2e-web.sh checks them.
//   NODE_PATH=<folder holding playwright-core> node tools/e2e-web.cjs URL ARTEFACTS LOAD-FILE
const { chromium } = require('playwright-core');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const [url, artefacts, loadFile] = process.argv.slice(2);
const facts = { console: [] };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'orbel2-chromium-'));

(async () => {
const browser = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  acceptDownloads: true,
  viewport: { width: 1000, height: 900 },
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
});
try {
  const page = browser.pages()[0] || await browser.newPage();
  page.on('console', (message) => facts.console.push(message.text()));
  page.on('pageerror', (error) => facts.console.push('pageerror: ' + error.message));
  const canvas = page.locator('#canvas');
  // The canvas's drawing alone, without its border.
  const shot = async (name) => {
    await sleep(300);
    const clip = await page.evaluate(() => {
      const box = canvas.getBoundingClientRect();
      return { x: box.left + canvas.clientLeft, y: box.top + canvas.clientTop, width: canvas.width, height: canvas.height };
    });
    await page.screenshot({ path: path.join(artefacts, name + '.png'), clip });
  };
  const typeLine = async (text) => { await page.keyboard.type(text, { delay: 15 }); await page.keyboard.press('Enter'); await sleep(300); };
  const hold = async (key, ms) => { await page.keyboard.down(key); await sleep(ms); await page.keyboard.up(key); };

  const started = Date.now();
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Running.', null, { timeout: 60000 });
  facts.loadMs = Date.now() - started;
  await sleep(1500);
  facts.focusedOnLoad = await page.evaluate(() => document.activeElement && document.activeElement.id);
  facts.canvasSize = await page.evaluate(() => [canvas.width, canvas.height]);
  facts.renderer = facts.console.find((line) => /renderer|Renderer/.test(line)) || '';
  await shot('01-start');

  // Focus elsewhere, then a click gives it back to the canvas.
  await page.locator('#recordingName').focus();
  facts.focusAfterField = await page.evaluate(() => document.activeElement.id);
  await canvas.click({ position: { x: 600, y: 400 } });
  facts.focusAfterClick = await page.evaluate(() => document.activeElement.id);

  await page.keyboard.type('write hello web', { delay: 15 });
  await shot('02-typed');
  await page.keyboard.press('Enter');
  await shot('03-enter');
  await typeLine('vid_info');
  await shot('04-vid-info');
  await typeLine('set playspeed 1');
  await typeLine('record run1');
  await page.keyboard.press('Home');
  await shot('40-drive-start');
  await hold('ArrowRight', 80);
  await sleep(600);
  await hold('ArrowUp', 400);
  await sleep(1600);
  await shot('42-up');
  await hold('ArrowLeft', 80);
  await sleep(400);
  await hold('ArrowDown', 200);
  await sleep(1500);
  await page.keyboard.press('Home');
  // The world stopped, then its hash asked for: the console shows it and
  // the log keeps it, to compare with the downloaded recording's replay.
  await typeLine('set playspeed 0');
  await typeLine('hash');
  await shot('45-hash');
  await typeLine('vid_size 800 600');
  await sleep(500);
  facts.canvasSizeAfterVidSize = await page.evaluate(() => [canvas.width, canvas.height]);
  await shot('50-800x600');

  // The page's button hands the recording over as a download.
  await page.locator('#recordingName').fill('run1');
  const [download] = await Promise.all([page.waitForEvent('download'), page.locator('#download').click()]);
  await download.saveAs(path.join(artefacts, 'run1'));
  // And the starting world and the checksums written beside it, by name.
  for (const companion of ['run1.state', 'run1.sum']) {
    await page.locator('#recordingName').fill(companion);
    const [file] = await Promise.all([page.waitForEvent('download'), page.locator('#download').click()]);
    await file.saveAs(path.join(artefacts, companion));
  }
  // The page's file field loads a recording into the file system, where the
  // engine replays it; OB_Web_Replay prints what "orbel2 --replay" prints.
  await page.locator('#load').setInputFiles(loadFile);
  facts.loadStatus = await page.locator('#fileStatus').textContent();
  const loaded = path.basename(loadFile);
  facts.replayLoaded = await page.evaluate((name) => Module.ccall('OB_Web_Replay', 'string', ['string'], ['/' + name]), loaded);
  // The very bytes downloaded (the recording goes on growing until Escape).
  const downloaded = Array.from(fs.readFileSync(path.join(artefacts, 'run1')));
  facts.replayRun1 = await page.evaluate((bytes) => {
    Module.FS.writeFile('/run1-moves', new Uint8Array(bytes));
    return Module.ccall('OB_Web_Replay', 'string', ['string'], ['/run1-moves']);
  }, downloaded);

  await canvas.click({ position: { x: 10, y: 10 } });
  await page.keyboard.press('Escape');
  await sleep(800);
  facts.statusAfterEscape = await page.locator('#status').textContent();
  facts.restartShown = await page.locator('#restartBar').isVisible();
  facts.runningAfterEscape = await page.evaluate(() => Module.ccall('OB_Web_SessionRunning', 'number', [], []));
  facts.log = await page.evaluate(() => new TextDecoder().decode(Module.FS.readFile('/orbel2.log')));
  await page.locator('#restart').click();
  await sleep(1500);
  await page.screenshot({ path: path.join(artefacts, 'page.png'), fullPage: true });
  facts.runningAfterRestart = await page.evaluate(() => Module.ccall('OB_Web_SessionRunning', 'number', [], []));
  await shot('60-restarted');
  facts.frameTiming = await page.evaluate(async () => {
    const times = [];
    let last = performance.now();
    for (let i = 0; i < 120; ++i) {
      await new Promise((resolve) => requestAnimationFrame(resolve));
      const now = performance.now();
      times.push(now - last);
      last = now;
    }
    times.sort((a, b) => a - b);
    return { medianMs: times[60], p95Ms: times[114] };
  });
} catch (error) {
  facts.error = String(error && error.stack || error);
} finally {
  fs.writeFileSync(path.join(artefacts, 'facts.json'), JSON.stringify(facts, null, 1));
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
})();
