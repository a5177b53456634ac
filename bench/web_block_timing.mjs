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
