// The instrument on the audio thread: the WebAssembly engine renders every
// quantum; the page sends MIDI, panel changes, banks and songs as messages.
// Songs come read and placed by the page's instance (song-handover.js): the
// audio thread only copies their events in.
import { takeSong } from './song-handover.js';

class VorzleProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const o = options.processorOptions;
    const instance = new WebAssembly.Instance(o.module, {
      wasi_snapshot_preview1: { proc_exit(code) { throw new Error(`engine exit ${code}`); } },
    });
    this.vz = instance.exports;
    this.vz._initialize();
    if (!this.vz.vz_create()) throw new Error('the engine could not allocate its memory');
    this.vz.vz_set_sample_rate(sampleRate);
    if (o.bank) this.load(o.bank, 'vz_bank_load');
    this.vz.vz_select_program(o.program);
    this.song = false;
    if (o.song) this.startSong(o.song);
    this.port.onmessage = (e) => this.receive(e.data);
  }

  load(bytes, loader, argument = sampleRate) {
    const data = bytes instanceof Float32Array ? new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength)
      : new Uint8Array(bytes);
    new Uint8Array(this.vz.memory.buffer, this.vz.vz_buffer(data.length), data.length).set(data);
    return this.vz[loader](argument);
  }

  // Tables the page built for the change just made: no rebuild in the next block.
  adopt(tables) {
    for (const { index, data } of tables ?? []) this.load(data, 'vz_adopt_table', index);
  }

  // The song from its start, with the tables of the programs it changes to.
  startSong(song) {
    this.song = takeSong(this.vz, song, sampleRate);
    if (!this.song) this.port.postMessage({ type: 'songRefused' });
  }

  receive(m) {
    switch (m.type) {
      case 'midi': this.vz.vz_midi(m.data[0], m.data[1] ?? 0, m.data[2] ?? 0); break;
      case 'parameter': this.vz.vz_set_parameter(m.index, m.value); this.adopt(m.tables); break;
      case 'program': this.vz.vz_select_program(m.index); this.adopt(m.tables); break;
      case 'bank': this.load(m.bytes, 'vz_bank_load'); break;
      case 'song': this.startSong(m.song); break;
      case 'stop': this.song = false; this.vz.vz_reset(); break;
    }
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const frames = out[0].length;
    const heap = this.vz.memory.buffer;
    if (this.song) {
      this.vz.vz_song_play(frames);
      out[0].set(new Float32Array(heap, this.vz.vz_song_left(), frames));
      out[1].set(new Float32Array(heap, this.vz.vz_song_right(), frames));
      if (this.vz.vz_song_finished()) {
        this.song = false;
        this.port.postMessage({ type: 'songEnd', frames: this.vz.vz_song_frames() });
      }
    } else {
      this.vz.vz_render(frames);
      out[0].set(new Float32Array(heap, this.vz.vz_left(), frames));
      out[1].set(new Float32Array(heap, this.vz.vz_right(), frames));
    }
    if (this.vz.vz_take_changed()) {
      const values = new Float32Array(this.vz.vz_parameter_count());
      for (let i = 0; i < values.length; ++i) values[i] = this.vz.vz_parameter(i);
      this.port.postMessage({ type: 'changed', program: this.vz.vz_program(), values });
    }
    return true;
  }
}

registerProcessor('vorzle', VorzleProcessor);
