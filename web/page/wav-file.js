// The song's two channels as a 32-bit float WAV file, as vorzle-render
// writes by default.
export function wavFile([left, right], rate) {
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
