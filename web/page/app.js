// The page: the panel drawn by the editor core into the canvas, the
// keyboards, Web MIDI, songs and banks. The sound runs in the audio worklet
// (vorzle-worklet.js); this thread keeps a second instance of the module for
// the panel, its readout and the bank, and sends every change across.
import { bankCategories } from './categories.js';
import { createPanel } from './panel.js';
import { setUpPlaying } from './playing.js';
import { readSong } from './song-handover.js';
import { wavFile } from './wav-file.js';

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

// The factory bank as the module starts with it, before kept edits load: what
// "edited" compares with and the restore buttons bring back. In the bank file
// each program is a 24-byte name and 39 floats after the file's and the
// chunk's headers; the chunk's current program is a word of its header.
const factoryBank = bankBytes();
const PROGRAM_BYTES = 24 + 4 * 39, CHUNK_AT = 160, CURRENT_AT = CHUNK_AT + 16;
const programAt = (p) => CHUNK_AT + 28 + p * PROGRAM_BYTES;
const factoryValue = (p, index) =>
  new DataView(factoryBank.buffer).getFloat32(programAt(p) + 24 + 4 * index, true);
function isEdited(p, bytes = bankBytes()) {
  const at = programAt(p);
  for (let i = at; i < at + PROGRAM_BYTES; ++i) if (bytes[i] !== factoryBank[i]) return true;
  return false;
}

// ------------------------------------------------------------------ sound
let context = null, node = null, analyser = null;
const send = (message) => node?.port.postMessage(message);
const midi = (status, data1 = 0, data2 = 0) => send({ type: 'midi', data: [status, data1, data2] });

function workletNode(ctx, song) {
  return new AudioWorkletNode(ctx, 'vorzle', {
    numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
    processorOptions: { module, bank: bankBytes(), program: vz.vz_program(), song },
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
  } else if (m.type === 'songRefused') {
    $('stop').disabled = true;
    status('The song does not fit the audio thread\'s memory');
  } else if (m.type === 'songEnd') {
    $('stop').disabled = true;
    status('Song ended');
  }
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

const { paint } = createPanel(vz, text, setParameter, status, (index) => factoryValue(vz.vz_program(), index));

// ------------------------------------------------------------------ programs
function fillPrograms() {
  const list = $('programs');
  list.textContent = '';
  const listed = new Set();
  const option = (p) => {
    listed.add(p);
    const o = document.createElement('option');
    o.value = String(p);
    o.textContent = programLabel(p, edited);
    return o;
  };
  const edited = bankBytes();
  for (const category of bankCategories) {
    // A category of one program (the blank one) is listed as that program.
    if (category.programs.length === 1) {
      list.append(option(category.programs[0]));
      continue;
    }
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
  showEdited();
}

const programLabel = (p, bytes) => `${p} ${text(vz.vz_program_name(p))}${isEdited(p, bytes) ? ' (edited)' : ''}`;

// The current program's mark and its entry in the list follow every change.
function showEdited() {
  const p = vz.vz_program(), bytes = bankBytes(), edited = isEdited(p, bytes);
  $('edited').hidden = !edited;
  $('restore-program').disabled = !edited;
  const o = $('programs').querySelector(`option[value="${p}"]`);
  if (o) o.textContent = programLabel(p, bytes);
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
  showEdited();
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

// The page's module has a fixed heap, shared by the song and the bank: files
// beyond these sizes are refused, with the reason, before they are read.
const MAX_SONG_BYTES = 512 << 10;      // 512 KB of MIDI file: about 175,000 events
const MAX_BANK_BYTES = 64 << 10;       // a Vorzle bank (.fxb) is 23,228 bytes
const MAX_SONG_EVENTS = 200000;
const megabytes = (n) => (n < 1 << 20 ? `${Math.ceil(n / 1024)} KB` : `${(n / (1 << 20)).toFixed(1)} MB`);
function tooLarge(file, limit, what) {
  if (file.size <= limit) return false;
  status(`${file.name}: too large for ${what} (${megabytes(file.size)}; this page takes up to ${megabytes(limit)}` +
         (what === 'a song' ? '; vorzle-render plays larger files)' : ')'));
  return true;
}

function download(bytes, name, type) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], { type }));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// The factory program over the current one (the rest of the bank as it is),
// or the whole factory bank with the current program kept selected.
function restore(bytes, what) {
  new DataView(bytes.buffer).setUint32(CURRENT_AT, vz.vz_program(), true);
  if (openBank(bytes, what)) {
    status(`Restored ${what}`);
    remember();
  }
}
$('restore-program').addEventListener('click', () => {
  const bytes = bankBytes(), at = programAt(vz.vz_program());
  bytes.set(factoryBank.subarray(at, at + PROGRAM_BYTES), at);
  restore(bytes, `program ${vz.vz_program()} ${text(vz.vz_program_name(vz.vz_program()))}`);
});
$('restore-bank').addEventListener('click', () => {
  const bytes = bankBytes(), edited = [...Array(128).keys()].filter((p) => isEdited(p, bytes)).length;
  if (edited && !window.confirm(`Restore the factory bank? Your edits to ${edited} program${edited > 1 ? 's' : ''} will be lost (download the bank first to keep them).`)) return;
  restore(factoryBank.slice(), 'the factory bank');
});

$('bank-download').addEventListener('click', () => download(bankBytes(), 'vorzle.fxb', 'application/octet-stream'));
$('bank-file').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (!file) return;
  if (tooLarge(file, MAX_BANK_BYTES, 'a Vorzle bank')) {
    e.target.value = '';
    return;
  }
  if (openBank(new Uint8Array(await file.arrayBuffer()), file.name)) {
    status(`Opened ${file.name}`);
    remember();
  }
  e.target.value = '';
});

// ------------------------------------------------------------------ songs
let song = null;   // { name, bytes }

async function takeSong(file) {
  if (tooLarge(file, MAX_SONG_BYTES, 'a song')) return;
  const bytes = new Uint8Array(await file.arrayBuffer());
  writeBuffer(bytes);
  const loaded = vz.vz_song_load(44100);
  const reason = text(vz.vz_message());
  const events = vz.vz_song_event_count();
  vz.vz_song_stop();
  vz.vz_buffer(0);
  if (!loaded) {
    status(`${file.name}: ${reason}`);
    return;
  }
  if (events > MAX_SONG_EVENTS) {
    status(`${file.name}: too many events for a song (${events.toLocaleString('en')}; this page plays up to ` +
           `${MAX_SONG_EVENTS.toLocaleString('en')}; vorzle-render plays larger files)`);
    return;
  }
  song = { name: file.name, bytes };
  $('song-name').textContent = file.name;
  status(reason ? `${file.name}: damaged, played as far as it is readable: ${reason}` : `Loaded ${file.name}`);
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
  send({ type: 'song', song: readSong(vz, song.bytes, context.sampleRate) });
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
  const read = readSong(vz, bytes, rate);
  if (!read) throw new Error(text(vz.vz_message()));
  const maxFrames = read.songFrames + 30 * rate;
  const offline = new OfflineAudioContext({ numberOfChannels: 2, length: maxFrames, sampleRate: rate });
  await offline.audioWorklet.addModule('vorzle-worklet.js');
  const renderer = workletNode(offline, read);
  const ended = new Promise((resolve) => {
    renderer.port.onmessage = (e) => { if (e.data.type === 'songEnd') resolve(e.data.frames); };
  });
  renderer.connect(offline.destination);
  const buffer = await offline.startRendering();
  const frames = await Promise.race([ended, new Promise((r) => setTimeout(() => r(maxFrames), 2000))]);
  return [buffer.getChannelData(0).subarray(0, frames), buffer.getChannelData(1).subarray(0, frames)];
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

// ------------------------------------------------------------------ screen
// On a screen narrower than the panel (a phone) the panel and the keyboard
// are scaled down to fit; the pointer arithmetic reads the scaled boxes.
function fitToScreen() {
  for (const [fit, inner, width, height] of [['panel-fit', 'panel', 664, 441], ['keyboard-fit', 'keyboard', 664, 110]]) {
    const scale = Math.min(1, $(fit).clientWidth / width);
    $(inner).style.transform = scale < 1 ? `scale(${scale})` : '';
    $(fit).style.height = `${height * scale}px`;
  }
}
window.addEventListener('resize', fitToScreen);
fitToScreen();

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
setUpPlaying(midi, startSound, selectProgram);
$('start').addEventListener('click', startSound);
// The loudness of the last 2048 samples, for a level meter and the page's tests.
function level() {
  if (!analyser) return 0;
  const samples = new Float32Array(analyser.fftSize);
  analyser.getFloatTimeDomainData(samples);
  return Math.sqrt(samples.reduce((sum, x) => sum + x * x, 0) / samples.length);
}
window.vorzle = { vz, module, renderSong, level, startSound };
