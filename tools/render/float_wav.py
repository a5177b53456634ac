"""Reads the stereo 32-bit float WAV files vorzle-render (and Ardour's float export)
writes, for tools/sounds and the tests (standard library only)."""
import struct


def read_float_wav(path):
    """The sample rate and the interleaved samples of a stereo float WAV."""
    rate, body = float_wav_data(path)
    return rate, struct.unpack("<%df" % (len(body) // 4), body)


def float_wav_data(path):
    """The sample rate and the raw bytes of the interleaved samples of a stereo float WAV."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit("%s: not a WAV file" % path)
    pos, fmt = 12, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16])
        elif tag == b"data":
            if not fmt or fmt[0] != 3 or fmt[1] != 2 or fmt[5] != 32:
                raise SystemExit("%s: expected stereo 32-bit float" % path)
            return fmt[2], body
        pos += 8 + size + (size & 1)
    raise SystemExit("%s: no data chunk" % path)
