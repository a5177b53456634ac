// The plug-in's panel in a canvas: painted by the editor core (the module's
// vz_panel_paint) at 1x or a crisp integer 2x, driven with the plug-in's
// knob, switch and counter arithmetic, with an overlay of sliders and
// switches over the canvas for the keyboard and screen readers.
const W = 664, H = 441;
const KIND = { readout: 0, button: 1, counter: 2, knob: 3, display: 4 };
const $ = (id) => document.getElementById(id);

// setParameter(index, value) stores a value the panel made; status(text)
// reports; programValue(index) is the value the current program is stored with.
export function createPanel(vz, text, setParameter, status, programValue) {
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

  const panelPoint = (e) => {
    const r = canvas.getBoundingClientRect();
    return { x: Math.floor((e.clientX - r.left) * W / r.width), y: Math.floor((e.clientY - r.top) * H / r.height) };
  };
  const inside = (c, p) => p.x >= c.x && p.y >= c.y && p.x < c.x + c.width && p.y < c.y + c.height;
  // The readout lies above every control, as in the plug-in.
  const readoutRect = () => {
    const f = (n) => vz.vz_readout_field(readout.x, readout.y, readout.parameter, n);
    return { x: f(0), y: f(1), width: f(2), height: f(3) };
  };
  const controlAt = (p) => (readout.visible && inside(readoutRect(), p))
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
  const knobLike = (c) => c && (c.kind === KIND.knob || c.kind === KIND.counter);
  // A double-click takes a knob back to the program's value; the wheel turns
  // it as 10 pixels of drag a notch, with the drag's modifiers.
  canvas.addEventListener('dblclick', (e) => {
    const c = controlAt(panelPoint(e));
    if (knobLike(c)) setParameter(c.id, programValue(c.id));
  });
  canvas.addEventListener('wheel', (e) => {
    const c = controlAt(panelPoint(e));
    if (!knobLike(c) || e.deltaY === 0) return;
    e.preventDefault();
    setParameter(c.id, vz.vz_dragged_value(vz.vz_parameter(c.id), Math.sign(e.deltaY) * 10, e.ctrlKey, e.shiftKey));
  }, { passive: false });
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
      } else if (c.kind === KIND.counter) {
        // The counter's arithmetic in single floats: how many voices notes may use.
        const voices = Math.min(64, Math.trunc(Math.fround(Math.fround(Math.fround(value) * 63) + 1)));
        el.setAttribute('aria-valuemin', '1');
        el.setAttribute('aria-valuemax', '64');
        el.setAttribute('aria-valuenow', String(voices));
        el.setAttribute('aria-valuetext', `${voices} voice${voices === 1 ? '' : 's'}`);
      } else {
        el.setAttribute('aria-valuemin', '0');
        el.setAttribute('aria-valuemax', '1');
        el.setAttribute('aria-valuenow', value.toFixed(4));
        el.setAttribute('aria-valuetext', text(vz.vz_parameter_display(c.id)));
      }
    }
  }

  return { paint };
}
