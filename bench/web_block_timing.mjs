// The engine's block times in WebAssembly (the page's build, run by Node)
// against the native build, in one run:
//   node bench/web_block_timing.mjs   (after scripts/build.sh)
// Budget: one 128-frame block at 44.1 kHz is 2.902 ms of audio.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { WASI } from 'node:wasi';

const root = new URL('..', import.meta.url).pathname;
const budget = (128 / 44100) * 1000;

function wasmRun() {
  let output = '';
  const wasi = new WASI({ version: 'preview1', args: ['block-timing'], returnOnExit: true });
  const module = new WebAssembly.Module(readFileSync(`${root}build/wasm/bench/block-timing.wasm`));
  const instance = new WebAssembly.Instance(module, {
    wasi_snapshot_preview1: {
      ...wasi.wasiImport,
      fd_write(fd, iovs, count, written) {   // standard output into a string
        const view = new DataView(instance.exports.memory.buffer);
        let total = 0;
        for (let i = 0; i < count; ++i) {
          const at = view.getUint32(iovs + 8 * i, true), length = view.getUint32(iovs + 8 * i + 4, true);
          output += new TextDecoder().decode(new Uint8Array(instance.exports.memory.buffer, at, length));
          total += length;
        }
        view.setUint32(written, total, true);
        return 0;
      },
    },
  });
  wasi.start(instance);
  return JSON.parse(output);
}

const native = JSON.parse(execFileSync(`${root}build/native/bin/block-timing`, { encoding: 'utf8' }));
const wasm = wasmRun();
const rows = [['1 voice', 'voices1'], ['16 voices', 'voices16'], ['64 voices', 'voices64'],
  ['worst block after a program change (64 voices)', 'worstAfterProgramChange'],
  ['  the same, tables handed over (as the page does)', 'worstAfterProgramChangeHandedOver']];
console.log(`128-frame blocks at 44.1 kHz, budget ${budget.toFixed(3)} ms`);
console.log('load'.padEnd(48), 'wasm ms', '  % budget', '  native ms', '  wasm/native');
for (const [name, key] of rows) {
  console.log(name.padEnd(48), wasm[key].toFixed(4).padStart(7), `${(100 * wasm[key] / budget).toFixed(1)} %`.padStart(10),
    native[key].toFixed(4).padStart(11), `${(wasm[key] / native[key]).toFixed(2)}x`.padStart(13));
}

// ---------------------------------------------------------------- songs
// The worklet as the page runs it (vorzle-worklet.js in Node, its song read
// by a second instance as the page's thread reads it): the song's hand-over
// message and the worst process call, as a share of one 128-frame quantum.
const pageModule = new WebAssembly.Module(readFileSync(`${root}build/web/vorzle.wasm`));
const { readSong } = await import(`${root}web/page/song-handover.js`);
let Processor = null;
globalThis.AudioWorkletProcessor = class { constructor() { this.port = { postMessage() {}, onmessage: null }; } };
globalThis.registerProcessor = (name, processor) => { Processor = processor; };
await import(`${root}web/page/vorzle-worklet.js`);

function pageInstance(rate) {
  const vz = new WebAssembly.Instance(pageModule, { wasi_snapshot_preview1: { proc_exit(code) { throw new Error(`exit ${code}`); } } }).exports;
  vz._initialize();
  vz.vz_create();
  vz.vz_set_sample_rate(rate);
  return vz;
}

// A format 0 file at 96 ticks a quarter, 120 bpm: events as [tick, ...bytes], by tick.
function midiFile(events) {
  const track = [];
  let last = 0;
  for (const [tick, ...bytes] of events) {
    const delta = [tick - last & 127];
    for (let d = (tick - last) >> 7; d > 0; d >>= 7) delta.unshift(128 | (d & 127));
    track.push(...delta, ...bytes);
    last = tick;
  }
  track.push(0, 0xFF, 0x2F, 0);
  const head = [0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 0x4D, 0x54, 0x72, 0x6B];
  const n = track.length;
  return new Uint8Array([...head, n >>> 24, (n >> 16) & 255, (n >> 8) & 255, n & 255, ...track]);
}
const chord = (tick) => [[tick, 0x90, 48, 100], [tick, 0x90, 55, 100], [tick, 0x90, 64, 100]];
const programChanges = (n, tick = () => 0) => Array.from({ length: n }, (_, k) => [tick(k), 0xC0, k % 128]);
const songs = [
  ['20,000 program changes at once, then a chord', () => [...programChanges(20000), ...chord(0), [960, 0x80, 48, 0]]],
  ['20,000 program changes, each between notes at once', () =>
    programChanges(20000).flatMap((e, k) => [e, [0, 0x90, 36 + (k % 48), 100]]).concat([[960, 0x80, 48, 0]])],
  ['20,000 program changes, one a tick, each with a chord', () =>
    programChanges(20000, (k) => k).flatMap((e, k) => [e, ...chord(k)])],
  ['200,000 notes (the page\'s event limit)', () =>
    Array.from({ length: 200000 }, (_, k) => [k >> 3, k & 1 ? 0x80 : 0x90, 36 + ((k >> 1) % 48), 100])],
];

console.log('\nsongs in the worklet, 128-frame quanta: the hand-over message and the worst process call');
console.log('song'.padEnd(56), 'rate', '  file KB', '  hand-over ms', '  worst process ms', '  % quantum');
for (const rate of [44100, 48000, 96000]) {
  for (const [name, make] of songs) {
    const bytes = midiFile(make().sort((a, b) => a[0] - b[0]));
    const read = readSong(pageInstance(rate), bytes, rate);
    globalThis.sampleRate = rate;
    const worklet = new Processor({ processorOptions: { module: pageModule, bank: null, program: 0, song: null } });
    const outputs = [[new Float32Array(128), new Float32Array(128)]];
    // Sound on before the song, as on the page: every function compiled.
    worklet.receive({ type: 'midi', data: [0x90, 60, 100] });
    for (let call = 0; call < 2000; ++call) worklet.process([], outputs);
    worklet.receive({ type: 'midi', data: [0xC1, 5, 0] });
    worklet.process([], outputs);
    const started = performance.now();
    worklet.receive({ type: 'song', song: structuredClone(read) });
    const handOver = performance.now() - started;
    let worst = 0, worstCall = 0; const first = [];
    globalThis.gc?.();   // the file's making leaves garbage that is not the worklet's
    for (let call = 0; call < 30000 && worklet.song; ++call) {
      const t = performance.now();
      worklet.process([], outputs);
      const spent = performance.now() - t;
      if (spent > worst) [worst, worstCall] = [spent, call];
      if (call < 4) first.push(spent.toFixed(2));
    }
    if (process.env.VERBOSE) console.log("worst call", worstCall, first);
    const quantum = 128 / rate * 1000;
    console.log(name.padEnd(56), String(rate), (bytes.length / 1024).toFixed(0).padStart(8), handOver.toFixed(2).padStart(14),
      worst.toFixed(3).padStart(18), `${(100 * worst / quantum).toFixed(1)} %`.padStart(11));
  }
}
