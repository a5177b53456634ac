// A song read on the page's thread for the audio thread: the page's own
// instance parses the file and places its events, and the worklet's takes
// the placed events (8 bytes each) and the tables of the programs the song
// changes to, so that nothing is parsed or built on the audio thread.

// The song in bytes at rate, read by the instance vz: { events, songFrames,
// prepared }, or null with vz_message's reason.
export function readSong(vz, bytes, rate) {
  new Uint8Array(vz.memory.buffer, vz.vz_buffer(bytes.length), bytes.length).set(bytes);
  const loaded = vz.vz_song_load(rate);
  vz.vz_buffer(0);
  if (!loaded) return null;
  const count = vz.vz_song_event_count();
  const events = new BigUint64Array(vz.memory.buffer, vz.vz_song_events(), count).slice();
  const song = { events, songFrames: vz.vz_song_length(), prepared: songTables(vz) };
  vz.vz_song_stop();   // the page's instance keeps no song: its heap is for reading the next
  return song;
}

// The tables of the programs the song changes to, built with the page's
// instance: each shape once ({ tables, programs: [{ program, shapes }] },
// shapes indexing tables), and no more than the worklet keeps (6 MB; the
// programs past it build their tables in the render).
const PREPARED_BYTES = 6 << 20;
function songTables(vz) {
  const current = vz.vz_program(), length = vz.vz_table_length(), tables = [], owners = [], programs = [];
  for (let k = 0; k < vz.vz_song_program_count(); ++k) {
    const program = vz.vz_song_program(k), shapes = [];
    for (let i = 0; i < 3; ++i) {
      let s = owners.findIndex(([p, j]) => vz.vz_same_shape(program, i, p, j));
      if (s < 0 && 4 * length * (tables.length + 1) <= PREPARED_BYTES) {
        vz.vz_select_program(program);
        tables.push(new Float32Array(vz.memory.buffer, vz.vz_build_table(i), length).slice());
        owners.push([program, i]);
        s = tables.length - 1;
      }
      shapes.push(s);
    }
    programs.push({ program, shapes });
  }
  vz.vz_select_program(current);
  vz.vz_take_due_tables();
  return { tables, programs };
}

// The worklet's side: the song into the instance vz, from its start; false
// when its heap has no room for the events.
export function takeSong(vz, song, rate) {
  const at = vz.vz_song_take_buffer(song.events.length);
  if (!at) return false;
  new BigUint64Array(vz.memory.buffer, at, song.events.length).set(song.events);
  vz.vz_song_take(song.songFrames, rate);
  const given = new Set();
  for (const { program, shapes } of song.prepared.programs) {
    shapes.forEach((s, i) => {
      if (s < 0 || (given.has(s) && vz.vz_prepare_shared(program, i))) return;
      const table = song.prepared.tables[s];
      new Float32Array(vz.memory.buffer, vz.vz_buffer(table.byteLength), table.length).set(table);
      vz.vz_prepare_table(program, i);
      given.add(s);
    });
  }
  vz.vz_buffer(0);
  return true;
}
