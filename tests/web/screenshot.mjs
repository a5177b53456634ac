// Photographs the web page in headless Chromium for the README:
//   node tests/web/screenshot.mjs URL OUT.png
import puppeteer from 'puppeteer-core';

const [url, out] = process.argv.slice(2);
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', args: ['--headless=new', '--no-sandbox'] });
const page = await browser.newPage();
await page.setViewport({ width: 740, height: 760, deviceScaleFactor: 1 });
await page.goto(url, { waitUntil: 'load' });
await page.waitForFunction(() => window.vorzle);
const box = await (await page.$('#panel-canvas')).boundingBox();
await page.mouse.move(box.x + 200, box.y + 300);   // near a knob, for the readout
const knob = await page.evaluate(() => {
  const { vz } = window.vorzle;
  for (let i = 0; i < vz.vz_control_count(); ++i)
    if (vz.vz_control_field(i, 0) === 3 && vz.vz_control_field(i, 5) === 8) return [vz.vz_control_field(i, 1), vz.vz_control_field(i, 2)];
  return [0, 0];
});
await page.mouse.move(box.x + knob[0] + 20, box.y + knob[1] + 20);
await page.screenshot({ path: out, fullPage: true });
await browser.close();
