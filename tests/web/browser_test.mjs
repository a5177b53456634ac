// The web page in headless Chromium, one browser session running a table of
// checks against the page served here on 127.0.0.1.
//   node browser_test.mjs SITE_DIR RENDERER DESKTOP_PANEL SOURCE_DIR
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [site, renderer, desktopPanel, source] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'vorzle-web-'));
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/$/, '/index.html');
  try {
    const body = readFileSync(join(site, name.replace(/\.\./g, '')));
    response.writeHead(200, { 'Content-Type': TYPES[extname(name)] ?? 'application/octet-stream' });
    response.end(body);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}/`;

// The float samples of a WAV file's data chunk, and a digest of their bits.
function wavSamples(path) {
  const wav = readFileSync(path);
  for (let at = 12; at + 8 <= wav.length; at += 8 + wav.readUInt32LE(at + 4)) {
    if (wav.toString('ascii', at, at + 4) === 'data')
      return wav.subarray(at + 8, at + 8 + wav.readUInt32LE(at + 4));
  }
  throw new Error(`${path}: no data chunk`);
}
const digest = (bytes) => createHash('sha256').update(bytes).digest('hex');

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless=new', '--no-sandbox', '--autoplay-policy=no-user-gesture-required'],
});
const problems = [];   // console errors and requests outside the folder
async function openPage(scale = 1, width = 760) {
  const page = await browser.newPage();
  await page.setViewport({ width, height: 900, deviceScaleFactor: scale });
  page.on('console', (m) => { if (m.type() === 'error') problems.push(`console: ${m.text()}`); });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  await page.setRequestInterception(true);
  page.on('request', (r) => {
    if (r.url().startsWith(base) || r.url().startsWith('blob:') || r.url().startsWith('data:')) return r.continue();
    problems.push(`outside request: ${r.url()}`);
    return r.abort();
  });
  // A MIDI input for the page to find, as Chromium offers none without devices.
  await page.evaluateOnNewDocument(() => {
    const input = { onmidimessage: null };
    window.testMidiInput = input;
    navigator.requestMIDIAccess = async () => ({ inputs: new Map([['test', input]]), onstatechange: null });
  });
  const started = Date.now();
  await page.goto(base, { waitUntil: 'load' });
  await page.waitForFunction(() => window.vorzle);
  return { page, loadMs: Date.now() - started };
}

const { page, loadMs } = await openPage();
const client = await page.createCDPSession();
await client.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: work, eventsEnabled: true });

// In-page helpers.
const value = (index) => page.evaluate((i) => window.vorzle.vz.vz_parameter(i), index);
const parameterIndex = (name) => page.evaluate((n) => {
  const { vz } = window.vorzle;
  for (let i = 0; i < vz.vz_parameter_count(); ++i) {
    const bytes = new Uint8Array(vz.memory.buffer, vz.vz_parameter_name(i));
    if (new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0))) === n) return i;
  }
  return -1;
}, name);
const canvasPixels = (p = page) => p.evaluate(() => {
  const c = document.getElementById('panel-canvas');
  return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
});
// A digest of the page's offline render of a song (base64 MIDI) at rate.
const pageRender = (midi, rate) => page.evaluate(async (b64, r) => {
  const bytes = Uint8Array.from(atob(b64), (ch) => ch.charCodeAt(0));
  const [left, right] = await window.vorzle.renderSong(bytes, r);
  const out = new Float32Array(left.length * 2);
  for (let i = 0; i < left.length; ++i) { out[2 * i] = left[i]; out[2 * i + 1] = right[i]; }
  const hash = await crypto.subtle.digest('SHA-256', out.buffer);
  return { frames: left.length, hash: Array.from(new Uint8Array(hash), (x) => x.toString(16).padStart(2, '0')).join('') };
}, midi.toString('base64'), rate);
const nativeRender = (midiPath, rate) => {
  const wav = join(work, `native-${rate}.wav`);
  execFileSync(renderer, [midiPath, '-o', wav, '-q', '--sample-rate', String(rate)]);
  const data = wavSamples(wav);
  return { frames: data.length / 8, hash: digest(data), file: readFileSync(wav) };
};
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
// The live output sounds within a second, then falls quiet after the release.
async function sounds(play, release) {
  await play();
  let loud = false;
  for (let i = 0; i < 20 && !loud; ++i) { await sleep(50); loud = (await page.evaluate(() => window.vorzle.level())) > 1e-3; }
  await release();
  for (let i = 0; i < 60; ++i) { await sleep(50); if ((await page.evaluate(() => window.vorzle.level())) < 1e-5) break; }
  return loud;
}
// One note as a tiny MIDI file: C4, one beat at 120 bpm.
const noteFile = Buffer.from('4d546864000000060000000101e04d54726b0000000d00903c648360803c0000ff2f00', 'hex');

const checks = [];
const check = (name, fn) => checks.push({ name, fn });

console.log(`page loaded and ready in ${loadMs} ms (a figure, not a check)`);

check('a file that is not MIDI is refused with its reason, and nothing is loaded', async () => {
  writeFileSync(join(work, 'notes.mid'), 'these are not notes');
  await (await page.$('#song-file')).uploadFile(join(work, 'notes.mid'));
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('notes.mid'), { timeout: 3000 })
    .catch(() => {});
  const [message, playable] = await page.evaluate(() =>
    [document.getElementById('status').textContent, !document.getElementById('play').disabled]);
  return (/^notes\.mid: \S/.test(message) && !playable) || `status "${message}", play ${playable ? 'enabled' : 'disabled'}`;
});

// 44.1 kHz through the page's own button and download, 48 kHz through the same render call.
check('"Render to WAV" of the demo gives vorzle-render\'s file, header and samples (44.1 and 48 kHz)', async () => {
  const demo = join(source, 'examples/demo.mid');
  await (await page.$('#song-file')).uploadFile(demo);
  await page.waitForFunction(() => !document.getElementById('render').disabled, { timeout: 5000 });
  await page.click('#render');
  let wav = null;
  for (let i = 0; i < 200 && !wav; ++i) { await sleep(100); wav = readdirSync(work).find((f) => f === 'demo.wav'); }
  if (!wav) return 'no WAV downloaded';
  await sleep(200);
  const downloaded = wavSamples(join(work, wav));
  const want44 = nativeRender(demo, 44100);
  if (downloaded.length / 8 !== want44.frames || digest(downloaded) !== want44.hash)
    return `44.1 kHz: the page's WAV has ${downloaded.length / 8} frames, native ${want44.frames}, samples differ`;
  if (!readFileSync(join(work, wav)).equals(want44.file)) return '44.1 kHz: the same samples under another header';
  const want = nativeRender(demo, 48000), got = await pageRender(readFileSync(demo), 48000);
  return (want.frames === got.frames && want.hash === got.hash) ||
    `48 kHz: page ${got.frames} frames ${got.hash.slice(0, 12)}, native ${want.frames} frames ${want.hash.slice(0, 12)}`;
});

// A program change, then a shape knob (Osc2Sine): once rebuilt in the render,
// once with the tables built by a third instance and adopted.
check('wavetables built on the page and adopted by the audio thread sound as ones rebuilt in the render', async () =>
  page.evaluate(() => {
    const make = () => {
      const vz = new WebAssembly.Instance(window.vorzle.module, { wasi_snapshot_preview1: { proc_exit() {} } }).exports;
      vz._initialize();
      vz.vz_create();
      vz.vz_set_sample_rate(48000);
      vz.vz_take_due_tables();
      return vz;
    };
    const changes = [(vz) => vz.vz_select_program(9), (vz) => vz.vz_set_parameter(26, 0.3)];
    const play = (vz, change) => {
      const out = [];
      vz.vz_midi(0x90, 60, 100);
      for (let block = 0; block < 64; ++block) {
        if (block % 20 === 0 && block > 0 && block <= 40) change(vz, changes[block / 20 - 1]);
        vz.vz_render(128);
        out.push(...new Float32Array(vz.memory.buffer, vz.vz_left(), 128));
        if (block === 20) vz.vz_midi(0x90, 64, 90);
      }
      return out;
    };
    const page = make();
    let adopted = 0;
    const a = play(make(), (vz, c) => c(vz));
    const b = play(make(), (vz, c) => {
      c(page);
      c(vz);
      const due = page.vz_take_due_tables(), length = page.vz_table_length();
      for (let i = 0; i < 3; ++i) {
        if (!(due & (1 << i))) continue;
        const table = new Uint8Array(page.memory.buffer, page.vz_build_table(i), length * 4);
        new Uint8Array(vz.memory.buffer, vz.vz_buffer(length * 4), length * 4).set(table);
        adopted += vz.vz_adopt_table(i);
      }
    });
    const differing = a.filter((x, i) => !Object.is(x, b[i])).length;
    return (adopted === 4 && differing === 0 && a.some((x) => x !== 0)) || `${adopted} tables adopted, ${differing} samples differ`;
  }));

const panelPrograms = [0, 9, 40, 77];
check(`panel canvas equals the desktop panel (programs ${panelPrograms.join(', ')})`, async () => {
  const desktop = execFileSync(desktopPanel, panelPrograms.map(String), { maxBuffer: 1 << 26 });
  const size = 664 * 441;
  for (const [n, program] of panelPrograms.entries()) {
    await page.select('#programs', String(program));
    const rgba = await canvasPixels();
    let differing = 0;
    for (let i = 0; i < size; ++i) {
      const p = desktop.readUInt32LE(4 * (n * size + i));
      differing += rgba[4 * i] !== (p >> 16 & 255) || rgba[4 * i + 1] !== (p >> 8 & 255) || rgba[4 * i + 2] !== (p & 255);
    }
    if (differing) return `program ${program}: ${differing} pixels differ`;
  }
  await page.select('#programs', '0');
  return true;
});

check('the panel at 2x device pixels is the 1x panel, each pixel a 2x2 block', async () => {
  const one = await canvasPixels();
  const { page: sharp } = await openPage(2);
  const two = await canvasPixels(sharp);
  await sharp.close();
  for (let y = 0; y < 882; ++y)
    for (let x = 0; x < 1328; ++x)
      for (let k = 0; k < 4; ++k)
        if (two[4 * (y * 1328 + x) + k] !== one[4 * ((y >> 1) * 664 + (x >> 1)) + k]) return `differs at ${x},${y}`;
  return true;
});

const cutoff = await parameterIndex('Cutoff');
let editedValue = 0, editedRender = null;
check('a knob drag changes the parameter, the readout and the sound', async () => {
  const knob = await page.evaluate((id) => {
    const { vz } = window.vorzle;
    for (let i = 0; i < vz.vz_control_count(); ++i)
      if (vz.vz_control_field(i, 0) === 3 && vz.vz_control_field(i, 5) === id)
        return [1, 2, 3, 4].map((f) => vz.vz_control_field(i, f));
    return null;
  }, cutoff);
  const box = await (await page.$('#panel-canvas')).boundingBox();
  const x = box.x + knob[0] + knob[2] / 2, y = box.y + knob[1] + knob[3] / 2;
  const before = await value(cutoff), renderBefore = await pageRender(noteFile, 44100);
  await page.mouse.move(x, y);
  const textBefore = await page.$eval(`[data-parameter="${cutoff}"]`, (e) => e.getAttribute('aria-valuetext'));
  const pixelsBefore = await canvasPixels();
  await page.mouse.down();
  for (let i = 1; i <= 10; ++i) await page.mouse.move(x, y - 10 * i);
  await page.mouse.up();
  editedValue = await value(cutoff);
  const want = await page.evaluate((v) => {
    const { vz } = window.vorzle;
    for (let i = 0; i < 10; ++i) v = vz.vz_dragged_value(v, -10, 0, 0);
    return v;
  }, before);
  const textAfter = await page.$eval(`[data-parameter="${cutoff}"]`, (e) => e.getAttribute('aria-valuetext'));
  const pixelsAfter = await canvasPixels();
  // The readout sits 15, 20 pixels right of and below where the pointer met the knob.
  const rx = Math.floor(knob[0] + knob[2] / 2) + 15, ry = Math.floor(knob[1] + knob[3] / 2) + 20;
  let readoutChanged = 0;
  for (let yy = ry; yy < ry + 16; ++yy)
    for (let xx = rx; xx < rx + 55; ++xx) readoutChanged += pixelsBefore[4 * (yy * 664 + xx)] !== pixelsAfter[4 * (yy * 664 + xx)];
  editedRender = await pageRender(noteFile, 44100);
  if (editedValue !== want) return `value ${before} -> ${editedValue}, drag arithmetic gives ${want}`;
  if (textAfter === textBefore) return `readout text stayed ${textAfter}`;
  if (!readoutChanged) return 'the readout on the canvas did not change';
  if (editedRender.hash === renderBefore.hash) return 'the sound did not change';
  return true;
});

check('notes from the on-screen keyboard, the computer keyboard and Web MIDI sound', async () => {
  await page.evaluate(() => window.vorzle.startSound());
  const key = await (await page.$('#keyboard .white')).boundingBox();
  const results = {
    'on-screen keyboard': await sounds(
      () => page.mouse.move(key.x + key.width / 2, key.y + key.height * 0.8).then(() => page.mouse.down()),
      () => page.mouse.up()),
    'computer keyboard': await sounds(
      () => page.focus('#keyboard').catch(() => {}).then(() => page.keyboard.down('KeyZ')),
      () => page.keyboard.up('KeyZ')),
    'Web MIDI (channel 2)': await sounds(
      () => page.evaluate(() => window.testMidiInput.onmidimessage({ data: new Uint8Array([0x91, 60, 100]) })),
      () => page.evaluate(() => window.testMidiInput.onmidimessage({ data: new Uint8Array([0x81, 60, 0]) }))),
  };
  const silent = Object.keys(results).filter((k) => !results[k]);
  return silent.length === 0 || `silent: ${silent.join(', ')}`;
});

check('a program change from the list and from MIDI takes effect', async () => {
  await page.select('#programs', '9');
  const fromList = await page.evaluate(() => window.vorzle.vz.vz_program());
  await page.evaluate(() => window.testMidiInput.onmidimessage({ data: new Uint8Array([0xC3, 5]) }));
  await page.waitForFunction(() => document.getElementById('programs').value === '5', { timeout: 3000 }).catch(() => {});
  const fromMidi = await page.evaluate(() => [window.vorzle.vz.vz_program(), document.getElementById('programs').value]);
  await page.select('#programs', '0');
  if (fromList !== 9) return `list: program ${fromList}`;
  return (fromMidi[0] === 5 && fromMidi[1] === '5') || `MIDI: program ${fromMidi.join(', list shows ')}`;
});

check('a bank downloaded and opened again restores the edited sound, and edits survive a reload', async () => {
  await page.click('#bank-download');
  let file = null;
  for (let i = 0; i < 40 && !file; ++i) { await sleep(50); file = readdirSync(work).find((f) => f === 'vorzle.fxb'); }
  if (!file) return 'no bank downloaded';
  const bank = readFileSync(join(work, file));
  if (bank.toString('ascii', 0, 4) !== 'CcnK' || bank.toString('ascii', 8, 12) !== 'FBCh') return 'not an .fxb with a chunk';
  await page.evaluate((i) => { window.vorzle.vz.vz_set_parameter(i, 0.1); }, cutoff);
  await (await page.$('#bank-file')).uploadFile(join(work, file));
  await page.waitForFunction((i, v) => window.vorzle.vz.vz_parameter(i) === v, { timeout: 3000 }, cutoff, editedValue)
    .catch(() => {});
  const restored = await value(cutoff), render = await pageRender(noteFile, 44100);
  writeFileSync(join(work, 'broken.fxb'), bank.subarray(0, 200));
  await (await page.$('#bank-file')).uploadFile(join(work, 'broken.fxb'));
  await sleep(200);
  const refused = await page.$eval('#status', (e) => e.textContent);
  await sleep(400);   // the page keeps edits a moment after the last one
  await page.reload({ waitUntil: 'load' });
  await page.waitForFunction(() => window.vorzle);
  const kept = await value(cutoff);
  if (restored !== editedValue) return `cutoff ${restored} after opening, edited ${editedValue}`;
  if (render.hash !== editedRender.hash) return 'the reopened bank sounds different';
  if (!/damaged|cut short/.test(refused)) return `a damaged bank gave "${refused}"`;
  return kept === editedValue || `after a reload cutoff is ${kept}`;
});

// What the factory program 0 holds, from an instance with no kept edits.
const factoryValue = (index) => page.evaluate((i) => {
  const vz = new WebAssembly.Instance(window.vorzle.module, { wasi_snapshot_preview1: { proc_exit() {} } }).exports;
  vz._initialize();
  vz.vz_create();
  return vz.vz_parameter(i);
}, index);
const marks = () => page.evaluate(() => ({
  shown: !document.getElementById('edited').hidden,
  listed: [...document.querySelectorAll('#programs option')].filter((o) => o.textContent.endsWith('(edited)'))
    .map((o) => o.value),
}));
const knobCentre = async (p, id) => {
  const [box, knob] = [await (await p.$('#panel-canvas')).boundingBox(), await p.evaluate((n) => {
    const { vz } = window.vorzle;
    for (let i = 0; i < vz.vz_control_count(); ++i)
      if (vz.vz_control_field(i, 0) === 3 && vz.vz_control_field(i, 5) === n) return [1, 2, 3, 4].map((f) => vz.vz_control_field(i, f));
    return null;
  }, id)];
  const s = box.width / 664;
  return { x: box.x + (knob[0] + knob[2] / 2) * s, y: box.y + (knob[1] + knob[3] / 2) * s };
};

check('an edited program is marked; restoring it or the factory bank brings back the factory values', async () => {
  const factory = await factoryValue(cutoff), before = await marks();
  await page.click('#restore-program');
  const restored = await value(cutoff), after = await marks();
  await page.focus(`[data-parameter="${cutoff}"]`);
  await page.keyboard.press('ArrowUp');
  await page.select('#programs', '5');
  await page.focus(`[data-parameter="${cutoff}"]`);
  await page.keyboard.press('ArrowUp');
  const twoEdited = await marks();
  page.once('dialog', (d) => d.accept());
  await page.click('#restore-bank');
  const bank = await marks(), program = await page.evaluate(() => window.vorzle.vz.vz_program());
  if (!before.shown || before.listed.join() !== '0') return `before: mark ${before.shown}, listed ${before.listed}`;
  if (restored !== factory || after.shown || after.listed.length) return `restored cutoff ${restored} (factory ${factory}), marks ${after.listed}`;
  if (twoEdited.listed.join() !== '0,5') return `edits to 0 and 5 listed as ${twoEdited.listed}`;
  return (!bank.shown && bank.listed.length === 0 && program === 5) || `after the bank: ${bank.listed}, program ${program}`;
});

check('a double-click takes a knob to its program value; the wheel turns it by 10 pixels of drag', async () => {
  const at = await knobCentre(page, cutoff), before = await value(cutoff);
  await page.mouse.move(at.x, at.y);
  await page.mouse.wheel({ deltaY: -100 });
  await sleep(50);
  const wheeled = await value(cutoff);
  const want = await page.evaluate((v) => window.vorzle.vz.vz_dragged_value(v, -10, 0, 0), before);
  await page.mouse.click(at.x, at.y, { count: 2, clickCount: 2 });
  await sleep(50);
  const back = await value(cutoff);
  if (wheeled !== want || wheeled === before) return `wheel: ${before} -> ${wheeled}, want ${want}`;
  return back === before || `double-click gave ${back}, the program holds ${before}`;
});

check('Polyphony is announced as a number of voices', async () => {
  const polyphony = await parameterIndex('Polyphony'), el = `[data-parameter="${polyphony}"]`;
  const said = [];
  for (const key of ['Home', 'End']) {
    await page.focus(el);
    await page.keyboard.press(key);
    said.push(await page.$eval(el, (e) => `${e.getAttribute('aria-valuetext')}/${e.getAttribute('aria-valuenow')}`));
  }
  return said.join() === '1 voice/1,64 voices/64' || said.join();
});

check('at a phone\'s width (375 px) the panel and keyboard fit the screen and a knob still turns', async () => {
  const { page: phone } = await openPage(1, 375);
  const fits = await phone.evaluate(() => [document.documentElement.scrollWidth,
    ...['panel-canvas', 'keyboard'].map((id) => document.getElementById(id).getBoundingClientRect().right)]);
  const at = await knobCentre(phone, cutoff);
  const before = await phone.evaluate((i) => window.vorzle.vz.vz_parameter(i), cutoff);
  await phone.mouse.move(at.x, at.y);
  await phone.mouse.down();
  await phone.mouse.move(at.x, at.y - 40);
  await phone.mouse.up();
  const after = await phone.evaluate((i) => window.vorzle.vz.vz_parameter(i), cutoff);
  await phone.close();
  if (fits.some((x) => x > 375)) return `wider than the screen: page, panel, keyboard end at ${fits}`;
  return after !== before || `the knob stayed at ${before}`;
});

// Last but one: the song's own controllers and program changes edit the bank.
check('the opened MIDI file plays live', async () => {
  await (await page.$('#song-file')).uploadFile(join(source, 'examples/demo.mid'));
  await page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 5000 });
  return (await sounds(() => page.click('#play'), () => page.click('#stop'))) || 'silent';
});

check('no console errors and no requests outside the folder', async () => problems.length === 0 || problems.join('; '));

let failed = 0;
for (const { name, fn } of checks) {
  let result;
  try { result = await fn(); } catch (e) { result = `threw ${e.message}`; }
  if (result !== true) ++failed;
  console.log(`${result === true ? 'ok  ' : 'FAIL'} ${name}${result === true ? '' : `: ${result}`}`);
}
await browser.close();
server.close();
console.log(`${checks.length - failed} of ${checks.length} checks passed`);
process.exit(failed ? 1 : 0);
