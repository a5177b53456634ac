// Playing the page: the on-screen keyboard (mouse and touch, louder lower on
// a key), two rows of the computer keyboard with octave shift, the bend and
// modulation sliders, and Web MIDI inputs on every channel.
const W = 664;
const $ = (id) => document.getElementById(id);

// midi(status, data1, data2) reaches the engine; selectProgram(p) changes
// programs as the page does; startSound() starts audio on the first note.
export function setUpPlaying(midi, startSound, selectProgram) {
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


  connectMidi();
}
