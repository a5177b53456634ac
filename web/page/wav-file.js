// The song's two channels as a 32-bit float WAV file with the header
// vorzle-render writes by default: an 18-byte fmt chunk (cbSize 0) and a fact
// chunk with the frame count, so the two files are the same bytes.
export function wavFile([left, right], rate) {
  const frames = left.length, dataSize = frames * 8, header = 58;
  const out = new DataView(new ArrayBuffer(header + dataSize));
  const tag = (at, s) => [...s].forEach((ch, i) => out.setUint8(at + i, ch.charCodeAt(0)));
  tag(0, 'RIFF'); out.setUint32(4, header - 8 + dataSize, true); tag(8, 'WAVE');
  tag(12, 'fmt '); out.setUint32(16, 18, true); out.setUint16(20, 3, true); out.setUint16(22, 2, true);
  out.setUint32(24, rate, true); out.setUint32(28, rate * 8, true); out.setUint16(32, 8, true); out.setUint16(34, 32, true);
  out.setUint16(36, 0, true);
  tag(38, 'fact'); out.setUint32(42, 4, true); out.setUint32(46, frames, true);
  tag(50, 'data'); out.setUint32(54, dataSize, true);
  for (let i = 0; i < frames; ++i) {
    out.setFloat32(header + 8 * i, left[i], true);
    out.setFloat32(header + 4 + 8 * i, right[i], true);
  }
  return out.buffer;
}
