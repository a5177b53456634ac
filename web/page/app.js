// The page: the panel drawn by the editor core into the canvas, the
// keyboards, Web MIDI, songs and banks. The sound runs in the audio worklet
// (vorzle-worklet.js); this thread keeps a second instance of the module for
// the panel, its readout and the bank, and sends every change across.
import { bankCategories } from './categories.js';

const W = 664, H = 441;
const KIND = { readout: 0, button: 1, counter: 2, knob: 3, display: 4 };
const STORAGE_KEY = 'vorzle.bank';
const $ = (id) => document.getElementById(id);

const module = await WebAssembly.compile(await (await fetch('vorzle.wasm')).arrayBuffer());
const vz = new WebAssembly.Instance(module, {
  wasi_snapshot_preview1: { proc_exit(code) { throw new Error(`engine exit ${code}`); } },
}).exports;
vz._initialize();
if (!vz.vz_create()) throw new Error('the engine could not allocate its memory');

const text = (pointer) => {
  const bytes = new Uint8Array(vz.memory.buffer, pointer);
  return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
};
const writeBuffer = (data) => new Uint8Array(vz.memory.buffer, vz.vz_buffer(data.length), data.length).set(data);
const bankBytes = () => {
  const size = vz.vz_bank_save();
  return new Uint8Array(vz.memory.buffer, vz.vz_bank_data(), size).slice();
};
const status = (message) => { $('status').textContent = message; };

// ------------------------------------------------------------------ sound
let context = null, node = null, analyser = null;
const send = (message) => node?.port.postMessage(message);
const midi = (status, data1 = 0, data2 = 0) => send({ type: 'midi', data: [status, data1, data2] });

// The tables of the programs a song changes to (the song just loaded here),
// built on this thread so that its program changes need no rebuild in the
// worklet either.
function songTables() {
  const current = vz.vz_program(), length = vz.vz_table_length(), prepared = [];
  for (let k = 0; k < vz.vz_song_program_count(); ++k) {
    const program = vz.vz_song_program(k);
    vz.vz_select_program(program);
    const tables = [0, 1, 2].map((i) => new Float32Array(vz.memory.buffer, vz.vz_build_table(i), length).slice());
    prepared.push({ program, tables });
  }
  vz.vz_select_program(current);
  vz.vz_take_due_tables();
  return prepared;
}

function workletNode(ctx, song) {
  return new AudioWorkletNode(ctx, 'vorzle', {
    numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
    processorOptions: { module, bank: bankBytes(), program: vz.vz_program(), song,
      prepared: song ? songTables() : null },
  });
}

async function startSound() {
  if (context) return context.resume();
  context = new AudioContext({ latencyHint: 'interactive' });
  await context.audioWorklet.addModule('vorzle-worklet.js');
  vz.vz_set_sample_rate(context.sampleRate);   // display texts that depend on the rate
  node = workletNode(context, null);
  node.port.onmessage = (e) => fromWorklet(e.data);
  node.connect(context.destination);
  analyser = context.createAnalyser();
  analyser.fftSize = 2048;
  node.connect(analyser);
  $('start').textContent = `Sound on (${context.sampleRate} Hz)`;
  $('start').disabled = true;
  paint();
}

function fromWorklet(m) {
  if (m.type === 'changed') {
    // MIDI changed the program or its values: the panel follows.
    if (m.program !== vz.vz_program()) vz.vz_select_program(m.program);
    m.values.forEach((v, i) => vz.vz_set_parameter(i, v));
    vz.vz_take_due_tables();   // the worklet built its own
    $('programs').value = String(m.program);
    paint();
    remember();
  } else if (m.type === 'songEnd') {
    $('stop').disabled = true;
    status('Song ended');
  }
}

// ------------------------------------------------------------------ panel
const canvas = $('panel-canvas');
const ctx2d = canvas.getContext('2d');
const controls = [];
for (let i = 0; i < vz.vz_control_count(); ++i) {
  const f = (n) => vz.vz_control_field(i, n);
  controls.push({ kind: f(0), x: f(1), y: f(2), width: f(3), height: f(4), id: f(5) });
}
const readout = { visible: false, x: 0, y: 0, parameter: 0 };
const scale = Math.max(1, Math.min(4, Math.round(window.devicePixelRatio || 1)));
canvas.width = W * scale;
canvas.height = H * scale;

function paint() {
  const pointer = vz.vz_panel_paint(readout.visible ? 1 : 0, readout.x, readout.y, readout.parameter, scale);
  if (!pointer) return status('The panel artwork could not be decoded');
  const pixels = new Uint8ClampedArray(vz.memory.buffer, pointer, W * H * scale * scale * 4);
  ctx2d.putImageData(new ImageData(new Uint8ClampedArray(pixels), W * scale, H * scale), 0, 0);
  updateOverlay();
}

// The wavetables a change made due, built on this thread for the worklet to
// adopt, so that no audio block carries a rebuild (the same floats as one).
function dueTables() {
  const bits = vz.vz_take_due_tables(), length = vz.vz_table_length(), tables = [];
  for (let i = 0; i < 3; ++i) {
    if (node && bits & (1 << i))
      tables.push({ index: i, data: new Float32Array(vz.memory.buffer, vz.vz_build_table(i), length).slice() });
  }
  return tables;
}

function setParameter(index, value) {
  vz.vz_set_parameter(index, value);
  send({ type: 'parameter', index, value: vz.vz_parameter(index), tables: dueTables() });
  paint();
  remember();
}

const panelPoint = (e) => {
  const r = canvas.getBoundingClientRect();
  return { x: Math.floor((e.clientX - r.left) * W / r.width), y: Math.floor((e.clientY - r.top) * H / r.height) };
};
const inside = (c, p) => p.x >= c.x && p.y >= c.y && p.x < c.x + c.width && p.y < c.y + c.height;
// The readout lies above every control, as in the plug-in.
const controlAt = (p) => (readout.visible && inside({ x: readout.x, y: readout.y, width: 55, height: 16 }, p))
  ? null : controls.find((c) => c.kind !== KIND.readout && inside(c, p));

let drag = null;
canvas.addEventListener('pointerdown', (e) => {
  const c = controlAt(panelPoint(e));
  if (!c) return;
  e.preventDefault();
  if ((c.kind === KIND.knob || c.kind === KIND.counter) && e.button === 0) {
    drag = { parameter: c.id, lastY: e.clientY };
    canvas.setPointerCapture(e.pointerId);
  } else if (c.kind === KIND.button && (e.button === 0 || e.button === 2)) {
    setParameter(c.id, vz.vz_toggled_value(vz.vz_parameter(c.id)));
  }
});
canvas.addEventListener('contextmenu', (e) => e.preventDefault());
canvas.addEventListener('pointermove', (e) => {
  if (drag) {
    const dy = Math.round(e.clientY - drag.lastY);
    if (dy === 0) return;
    drag.lastY += dy;
    setParameter(drag.parameter, vz.vz_dragged_value(vz.vz_parameter(drag.parameter), dy, e.ctrlKey, e.shiftKey));
    return;
  }
  hover(panelPoint(e));
});
const endDrag = () => { drag = null; };
canvas.addEventListener('pointerup', endDrag);
canvas.addEventListener('pointercancel', endDrag);
canvas.addEventListener('pointerleave', () => { if (!drag && readout.visible) { readout.visible = false; paint(); } });

// While the pointer stays on one knob the readout stays where it appeared.
function hover(p) {
  const parameter = vz.vz_knob_at(p.x, p.y);
  if (parameter < 0) {
    if (readout.visible) { readout.visible = false; paint(); }
  } else if (!readout.visible || parameter !== readout.parameter) {
    Object.assign(readout, { visible: true, x: p.x + 15, y: p.y + 20, parameter });
    paint();
  }
}

// "Osc2Width" as a screen reader should say it: "Oscillator 2 width".
const spokenName = (name) => name
  .replace(/^Osc(\d)/, 'Oscillator $1 ').replace(/^Amp/, 'Amplitude ').replace(/^Lfo/, 'LFO ')
  .replace(/([a-z])([A-Z])/g, '$1 $2').replace(/ (\w)/g, (m) => m.toLowerCase()).replace(/\s+/g, ' ').trim();

// Screen readers and the keyboard reach the controls through an overlay of
// sliders and switches over the canvas.
const overlay = [];
for (const c of controls) {
  if (c.kind !== KIND.knob && c.kind !== KIND.counter && c.kind !== KIND.button) continue;
  const el = document.createElement('div');
  el.tabIndex = 0;
  el.setAttribute('role', c.kind === KIND.button ? 'switch' : 'slider');
  el.setAttribute('aria-label', spokenName(text(vz.vz_parameter_name(c.id))));
  Object.assign(el.style, { left: `${c.x}px`, top: `${c.y}px`, width: `${c.width}px`, height: `${c.height}px` });
  el.dataset.parameter = c.id;
  el.addEventListener('keydown', (e) => controlKey(e, c));
  $('panel-controls').append(el);
  overlay.push({ el, c });
}

function controlKey(e, c) {
  const value = vz.vz_parameter(c.id);
  if (c.kind === KIND.button) {
    if (e.key === ' ' || e.key === 'Enter') setParameter(c.id, vz.vz_toggled_value(value));
    else return;
  } else {
    // Steps of 10 and 100 pixels of the mouse drag, with the drag's modifiers.
    const steps = { ArrowUp: -10, ArrowRight: -10, ArrowDown: 10, ArrowLeft: 10, PageUp: -100, PageDown: 100 };
    if (e.key === 'Home' || e.key === 'End') setParameter(c.id, e.key === 'Home' ? 0 : 1);
    else if (e.key in steps) setParameter(c.id, vz.vz_dragged_value(value, steps[e.key], e.ctrlKey, e.shiftKey));
    else return;
  }
  e.preventDefault();
  e.stopPropagation();
}

function updateOverlay() {
  for (const { el, c } of overlay) {
    const value = vz.vz_parameter(c.id);
    if (c.kind === KIND.button) {
      el.setAttribute('aria-checked', value >= 0.5 ? 'true' : 'false');
    } else {
      el.setAttribute('aria-valuemin', '0');
      el.setAttribute('aria-valuemax', '1');
      el.setAttribute('aria-valuenow', value.toFixed(4));
      el.setAttribute('aria-valuetext', text(vz.vz_parameter_display(c.id)));
    }
  }
}

// ------------------------------------------------------------------ programs
function fillPrograms() {
  const list = $('programs');
  list.textContent = '';
  const listed = new Set();
  const option = (p) => {
    listed.add(p);
    const o = document.createElement('option');
    o.value = String(p);
    o.textContent = `${p} ${text(vz.vz_program_name(p))}`;
    return o;
  };
  for (const category of bankCategories) {
    const group = document.createElement('optgroup');
    group.label = category.name;
    for (const p of category.programs) group.append(option(p));
    list.append(group);
  }
  const rest = [...Array(128).keys()].filter((p) => !listed.has(p));
  if (rest.length) {
    const group = document.createElement('optgroup');
    group.label = 'Other';
    rest.forEach((p) => group.append(option(p)));
    list.append(group);
  }
  list.value = String(vz.vz_program());
}

function selectProgram(p) {
  vz.vz_select_program(p);
  send({ type: 'program', index: p, tables: dueTables() });
  $('programs').value = String(p);
  paint();
  remember();
}
$('programs').addEventListener('change', (e) => selectProgram(Number(e.target.value)));

// ------------------------------------------------------------------ banks
let rememberTimer = 0;
function remember() {
  clearTimeout(rememberTimer);
  rememberTimer = setTimeout(() => {
    try {
      localStorage.setItem(STORAGE_KEY, btoa(String.fromCharCode(...bankBytes())));
    } catch (error) {
      status(`Edits cannot be kept in this browser: ${error.message}`);
    }
  }, 300);
}

function openBank(bytes, origin) {
  writeBuffer(bytes);
  if (!vz.vz_bank_load()) {
    status(`${origin}: ${text(vz.vz_message())}`);
    return false;
  }
  send({ type: 'bank', bytes: bytes.slice().buffer });
  fillPrograms();
  paint();
  return true;
}

function download(bytes, name, type) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], { type }));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

$('bank-download').addEventListener('click', () => download(bankBytes(), 'vorzle.fxb', 'application/octet-stream'));
$('bank-file').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (!file) return;
  if (openBank(new Uint8Array(await file.arrayBuffer()), file.name)) {
    status(`Opened ${file.name}`);
    remember();
  }
  e.target.value = '';
});

// ------------------------------------------------------------------ songs
let song = null;   // { name, bytes }

async function takeSong(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  writeBuffer(bytes);
  if (!vz.vz_song_load(44100)) {
    status(`${file.name}: ${text(vz.vz_message())}`);
    return;
  }
  const damage = text(vz.vz_message());
  song = { name: file.name, bytes };
  $('song-name').textContent = file.name;
  status(damage ? `${file.name}: damaged, played as far as it is readable: ${damage}` : `Loaded ${file.name}`);
  for (const id of ['play', 'render']) $(id).disabled = false;
}

$('song-file').addEventListener('change', (e) => { if (e.target.files[0]) takeSong(e.target.files[0]); });
const drop = $('drop');
drop.addEventListener('dragover', (e) => { e.preventDefault(); drop.classList.add('over'); });
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', (e) => {
  e.preventDefault();
  drop.classList.remove('over');
  if (e.dataTransfer.files[0]) takeSong(e.dataTransfer.files[0]);
});

$('play').addEventListener('click', async () => {
  await startSound();
  writeBuffer(song.bytes);
  vz.vz_song_load(context.sampleRate);
  send({ type: 'song', bytes: song.bytes.slice().buffer, prepared: songTables() });
  $('stop').disabled = false;
  status(`Playing ${song.name}`);
});
$('stop').addEventListener('click', () => {
  send({ type: 'stop' });
  $('stop').disabled = true;
  status('Stopped');
});

// The song from the start with the page's bank and program, offline, as
// vorzle-render plays it: the worklet tells where the tail ended.
async function renderSong(bytes, rate) {
  writeBuffer(bytes);
  if (!vz.vz_song_load(rate)) throw new Error(text(vz.vz_message()));
  const maxFrames = vz.vz_song_length() + 30 * rate;
  const offline = new OfflineAudioContext({ numberOfChannels: 2, length: maxFrames, sampleRate: rate });
  await offline.audioWorklet.addModule('vorzle-worklet.js');
  const renderer = workletNode(offline, bytes.slice().buffer);
  const ended = new Promise((resolve) => {
    renderer.port.onmessage = (e) => { if (e.data.type === 'songEnd') resolve(e.data.frames); };
  });
  renderer.connect(offline.destination);
  const buffer = await offline.startRendering();
  const frames = await Promise.race([ended, new Promise((r) => setTimeout(() => r(maxFrames), 2000))]);
  return [buffer.getChannelData(0).subarray(0, frames), buffer.getChannelData(1).subarray(0, frames)];
}

// 32-bit float WAV, as vorzle-render writes by default.
function wavFile([left, right], rate) {
  const frames = left.length, dataSize = frames * 8;
  const out = new DataView(new ArrayBuffer(44 + dataSize));
  const tag = (at, s) => [...s].forEach((ch, i) => out.setUint8(at + i, ch.charCodeAt(0)));
  tag(0, 'RIFF'); out.setUint32(4, 36 + dataSize, true); tag(8, 'WAVE');
  tag(12, 'fmt '); out.setUint32(16, 16, true); out.setUint16(20, 3, true); out.setUint16(22, 2, true);
  out.setUint32(24, rate, true); out.setUint32(28, rate * 8, true); out.setUint16(32, 8, true); out.setUint16(34, 32, true);
  tag(36, 'data'); out.setUint32(40, dataSize, true);
  for (let i = 0; i < frames; ++i) {
    out.setFloat32(44 + 8 * i, left[i], true);
    out.setFloat32(48 + 8 * i, right[i], true);
  }
  return out.buffer;
}

$('render').addEventListener('click', async () => {
  const rate = context ? context.sampleRate : 44100;
  $('render').disabled = true;
  status(`Rendering ${song.name}...`);
  try {
    const started = performance.now();
    const channels = await renderSong(song.bytes, rate);
    download(wavFile(channels, rate), song.name.replace(/\.[^.]*$/, '') + '.wav', 'audio/wav');
    status(`Rendered ${(channels[0].length / rate).toFixed(1)} s in ${((performance.now() - started) / 1000).toFixed(1)} s`);
  } catch (error) {
    status(`Render failed: ${error.message}`);
  }
  $('render').disabled = false;
});

// ------------------------------------------------------------------ playing
const FIRST_NOTE = 48, KEYS = 37;
let octave = 0;
const sounding = new Map();   // key or pointer -> note

function noteOn(source, note, velocity) {
  if (sounding.has(source)) noteOff(source);
  sounding.set(source, note);
  midi(0x90, note, velocity);
  keyElement(note)?.classList.add('down');
}
function noteOff(source) {
  const note = sounding.get(source);
  if (note === undefined) return;
  sounding.delete(source);
  midi(0x80, note, 0);
  if (![...sounding.values()].includes(note)) keyElement(note)?.classList.remove('down');
}

const keyboard = $('keyboard');
const isBlack = (n) => [1, 3, 6, 8, 10].includes(n % 12);
const whiteCount = [...Array(KEYS).keys()].filter((i) => !isBlack(FIRST_NOTE + i)).length;
const whiteWidth = W / whiteCount;
for (let i = 0, white = 0; i < KEYS; ++i) {
  const note = FIRST_NOTE + i;
  const key = document.createElement('div');
  key.className = `key ${isBlack(note) ? 'black' : 'white'}`;
  key.dataset.note = note;
  const left = isBlack(note) ? white * whiteWidth - whiteWidth * 0.3 : white * whiteWidth;
  Object.assign(key.style, { left: `${left}px`, width: `${isBlack(note) ? whiteWidth * 0.6 : whiteWidth}px` });
  if (!isBlack(note)) ++white;
  keyboard.append(key);
}
const keyElement = (note) => keyboard.querySelector(`[data-note="${note - 12 * octave}"]`);

// Lower on the key is louder, as on a real key struck further out.
function keyStrike(e) {
  const key = document.elementFromPoint(e.clientX, e.clientY)?.closest('.key');
  if (!key) return null;
  const r = key.getBoundingClientRect();
  const depth = Math.min(1, Math.max(0, (e.clientY - r.top) / r.height));
  return { note: Number(key.dataset.note) + 12 * octave, velocity: Math.max(1, Math.round(20 + 107 * depth)) };
}
keyboard.addEventListener('pointerdown', async (e) => {
  e.preventDefault();
  await startSound();
  keyboard.setPointerCapture(e.pointerId);
  const strike = keyStrike(e);
  if (strike) noteOn(`p${e.pointerId}`, strike.note, strike.velocity);
});
keyboard.addEventListener('pointermove', (e) => {
  if (!sounding.has(`p${e.pointerId}`)) return;
  const strike = keyStrike(e);
  if (strike && strike.note !== sounding.get(`p${e.pointerId}`)) noteOn(`p${e.pointerId}`, strike.note, strike.velocity);
});
for (const type of ['pointerup', 'pointercancel']) keyboard.addEventListener(type, (e) => noteOff(`p${e.pointerId}`));

// Two rows of the computer keyboard: Z to M from C, Q to P an octave above.
const KEY_NOTES = {};
['KeyZ', 'KeyS', 'KeyX', 'KeyD', 'KeyC', 'KeyV', 'KeyG', 'KeyB', 'KeyH', 'KeyN', 'KeyJ', 'KeyM', 'Comma']
  .forEach((code, i) => { KEY_NOTES[code] = i; });
['KeyQ', 'Digit2', 'KeyW', 'Digit3', 'KeyE', 'KeyR', 'Digit5', 'KeyT', 'Digit6', 'KeyY', 'Digit7', 'KeyU', 'KeyI',
  'Digit9', 'KeyO', 'Digit0', 'KeyP'].forEach((code, i) => { KEY_NOTES[code] = 12 + i; });
const typing = (e) => e.target.closest?.('input:not([type="range"]), select, textarea') || e.ctrlKey || e.metaKey || e.altKey;

function shiftOctave(by) {
  octave = Math.max(-4, Math.min(4, octave + by));
  $('octave').textContent = String(octave);
}
document.addEventListener('keydown', async (e) => {
  if (typing(e) || e.repeat) return;
  if (e.key === '-' || e.key === '=' || e.key === '+') { shiftOctave(e.key === '-' ? -1 : 1); return; }
  if (!(e.code in KEY_NOTES)) return;
  e.preventDefault();
  await startSound();
  noteOn(e.code, FIRST_NOTE + 12 * octave + KEY_NOTES[e.code], 100);
});
document.addEventListener('keyup', (e) => noteOff(e.code));
window.addEventListener('blur', () => [...sounding.keys()].forEach(noteOff));
$('octave-down').addEventListener('click', () => shiftOctave(-1));
$('octave-up').addEventListener('click', () => shiftOctave(1));

// The bend springs back to the middle when let go.
const bend = $('bend');
const sendBend = () => { const v = Number(bend.value) + 8192; midi(0xE0, v & 127, v >> 7); };
bend.addEventListener('input', sendBend);
for (const type of ['pointerup', 'keyup', 'blur']) bend.addEventListener(type, () => { bend.value = '0'; sendBend(); });
$('modulation').addEventListener('input', (e) => midi(0xB0, 1, Number(e.target.value)));

// Web MIDI: every channel's messages go to the engine as the plug-in takes them.
async function connectMidi() {
  if (!navigator.requestMIDIAccess) return;
  try {
    const access = await navigator.requestMIDIAccess();
    const attach = () => {
      for (const input of access.inputs.values()) {
        input.onmidimessage = async (e) => {
          const [s, d1, d2] = e.data;
          if (s < 0x80 || s >= 0xF0) return;   // system messages are not the instrument's
          await startSound();
          // A program change as the engine takes it, its tables built here.
          if ((s & 0xF0) === 0xC0) selectProgram(Math.min(d1, 127));
          else midi(s, d1 ?? 0, d2 ?? 0);
        };
      }
    };
    attach();
    access.onstatechange = attach;
  } catch {
    // No MIDI devices or no permission: the page plays without them.
  }
}

$('start').addEventListener('click', startSound);

// ------------------------------------------------------------------ start
const kept = localStorage.getItem(STORAGE_KEY);
if (kept) {
  try {
    openBank(Uint8Array.from(atob(kept), (ch) => ch.charCodeAt(0)), 'Kept edits');
  } catch {
    status('Kept edits could not be read; the factory bank is loaded');
  }
}
fillPrograms();
paint();
connectMidi();
// The loudness of the last 2048 samples, for a level meter and the page's tests.
function level() {
  if (!analyser) return 0;
  const samples = new Float32Array(analyser.fftSize);
  analyser.getFloatTimeDomainData(samples);
  return Math.sqrt(samples.reduce((sum, x) => sum + x * x, 0) / samples.length);
}
window.vorzle = { vz, module, renderSong, level, startSound };
