// Times the web build's headless replay (OB_Web_Replay) of one recording in
// headless Chromium: prints "web <seconds> s" and the replay's hash line.
//   NODE_PATH=<folder holding playwright-core> node replay-speed.cjs URL RECORDING
const { chromium } = require('playwright-core');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

(async () => {
  const [url, recording] = process.argv.slice(2);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'orbel2-chromium-'));
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  });
  try {
    const page = browser.pages()[0] || await browser.newPage();
    await page.goto(url);
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Running.', null, { timeout: 60000 });
    const bytes = fs.readFileSync(recording).toString('base64');
    const result = await page.evaluate((data) => {
      const raw = atob(data);
      const buffer = new Uint8Array(raw.length);
      for (let i = 0; i < raw.length; ++i) buffer[i] = raw.charCodeAt(i);
      Module.FS.writeFile('/timed', buffer);
      const start = performance.now();
      const printed = Module.ccall('OB_Web_Replay', 'string', ['string'], ['/timed']);
      return { seconds: (performance.now() - start) / 1000, printed };
    }, bytes);
    console.log('web ' + result.seconds.toFixed(2) + ' s ' + result.printed.split('\n').filter((l) => l.startsWith('hash:')).join(''));
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})();
