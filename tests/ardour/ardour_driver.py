"""One driver for the plug-in tests in Ardour 7 headless, whatever the format
(VST 2, LV2, VST 3: the `kind` is Ardour's ARDOUR.PluginType name):

- a private home for Ardour, the plug-in copied into a folder of its own on
  Ardour's search path for that kind and scanned where Ardour needs a scan;
- steps, each a Lua script run by a fresh ardour7-lua after session.lua's
  helpers (fresh_session, reopen_session, add_track, play, set_control, export,
  save); every export is 32-bit float WAV through one preset, and the step
  answers its exports' samples and the latencies they were rendered with;
- one song player (song_player.lua) before each instrument, playing the
  songs given here in samples, chosen by its control;
- the demo (examples/make_demo.py) as such a song.

Ardour breaks down on its own: its export corrupts its heap in 10-30 % of
runs (mostly after the WAV is written, and then the file may be damaged), it
may hang, and a reopened session sometimes renders with 16 samples less
latency, which moves the block grid and so every sample. A step counts only
when Ardour exited cleanly after the script ended (and, when asked, with the
latencies of an earlier step); one that Ardour broke down in is run again
from where it started, at most ATTEMPTS times, and reported. Anything else
(an assertion of the script, an error exit, a wrong result) fails at once.

VORZLE_KEEP_WORK=1 keeps the work folder (home, sessions, logs, exports) and
prints where it is.
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [os.path.join(ROOT, "tools", "render"), os.path.join(ROOT, "examples")]
import make_demo  # noqa: E402
from float_wav import read_float_wav  # noqa: E402

# Exports crash on their own in a third to a half of the steps here (seen with
# VST 2, LV2 and VST 3 alike), and a step has to come through once.
ATTEMPTS = 10
TIMEOUT = 150   # seconds a step may take before it counts as hung
CRASH_MARKS = ("free(): invalid", "corrupted", "Segmentation fault", "double free", "malloc():")
# Where Ardour looks for each kind, and the scanner whose cache ardour7-lua reads.
SEARCH = {"LXVST": ("LXVST_PATH", "ardour-vst-scanner"), "VST3": ("VST3_PATH", "ardour-vst3-scanner"),
          "LV2": ("LV2_PATH", None)}
PRESET_ID = "3d1f3c2e-6a55-4f0e-9a59-2f3e6a1b7c01"
# Ardour's own float WAV format, without dither or normalising; files named after the export.
PRESET = """<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="%s" name="Vorzle test: 32-bit float WAV">
  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>
  <ExportFilename><Folder relative="1" path="export"/><Field name="timespan" enabled="1"/></ExportFilename>
</ExportPreset>
""" % PRESET_ID


def fail(message):
    raise SystemExit("FAIL: " + message)


def dbfs(samples):
    return 20 * math.log10(max(abs(x) for x in samples) or 1e-30)


def brightness(samples, start, end):
    """High-frequency share of a stretch of the left channel: RMS of the first difference over RMS."""
    left = samples[2 * start:2 * end:2]
    energy = sum(x * x for x in left)
    diff = sum((left[i] - left[i - 1]) ** 2 for i in range(1, len(left)))
    return math.sqrt(diff / energy) if energy > 0 else 0.0


def demo_song(rate, start=0.0):
    """examples/demo.mid's channel messages as (sample, status, data...), START
    seconds in: at one tick in track order, then file order, as vorzle-render plays them."""
    song = make_demo.make_song()
    tempos = [data for _, _, data in song.conductor.events if data[:2] == b"\xff\x51"]
    assert len(tempos) == 1, "the demo changes tempo"
    samples_per_tick = int.from_bytes(tempos[0][3:6], "big") / 1e6 / make_demo.smf.TICKS_PER_BEAT * rate
    events = sorted((tick, track, i, data) for track, t in enumerate(song.tracks)
                    for i, (tick, _, data) in enumerate(sorted(t.events, key=lambda e: e[:2])) if data[0] < 0xF0)
    return [(round(start * rate + tick * samples_per_tick),) + tuple(data) for tick, _, _, data in events]


def lua_songs(songs):
    """The songs as a Lua table, each event at least a sample after the one
    before: Ardour orders events of one sample its own way (a program change
    after the controllers meant to follow it)."""
    tables = []
    for song in songs:
        rows, last = [], -1
        for at, *data in song:
            last = max(at, last + 1)
            rows.append("{%s}" % ",".join(map(str, [last] + data)))
        tables.append("{%s}" % ",".join(rows))
    return "{" + ",".join("[%d]=%s" % item for item in enumerate(tables)) + "}"


class Ardour:
    """A work folder with Ardour's home and the plug-in MODULE (a file or a
    bundle) of KIND, which Ardour lists as NAME; SONGS for the song player."""

    def __init__(self, kind, module, name, rate, songs):
        self.kind, self.name, self.rate = kind, name, rate
        if not shutil.which("ardour7-lua"):
            fail("ardour7-lua is missing (package ardour, installed by scripts/setup.sh)")
        self.work = tempfile.mkdtemp(prefix="vorzle-ardour-")
        try:
            self.prepare(module, songs)
        except BaseException:
            self.__exit__()
            raise
        self.latencies = {}

    def prepare(self, module, songs):
        home = os.path.join(self.work, "home")
        path_variable, scanner = SEARCH[self.kind]
        plugins = os.path.join(self.work, "plugins")
        self.env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config", XDG_CACHE_HOME=home + "/.cache",
                        **{path_variable: plugins})
        config = home + "/.config/ardour7"
        for folder in ("scripts", "export"):
            os.makedirs(os.path.join(config, folder))
        os.makedirs(os.path.join(self.work, "sessions"))
        os.makedirs(plugins)
        with open(config + "/export/vorzle-test.preset", "w") as f:
            f.write(PRESET)
        with open(os.path.join(HERE, "song_player.lua")) as f:
            player = f.read().replace("SONGS", lua_songs(songs))
        with open(config + "/scripts/vorzle_song_player.lua", "w") as f:
            f.write(player)
        copy = os.path.join(plugins, os.path.basename(module.rstrip("/")))
        (shutil.copytree if os.path.isdir(module) else shutil.copy)(module, copy)
        if scanner:
            # ardour7-lua only reads the scan cache, and only one newer than the module.
            scan = subprocess.run(["/usr/lib/ardour7/" + scanner, "-f", copy], env=dict(self.env, LD_LIBRARY_PATH="/usr/lib/ardour7"),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            if scan.returncode != 0:
                fail("Ardour's scanner does not take %s:\n%s" % (copy, scan.stdout[-2000:]))
            cache = home + "/.cache/ardour7/vst"
            later = time.time() + 2
            for entry in os.listdir(cache):
                os.utime(os.path.join(cache, entry), (later, later))

    def __enter__(self):
        return self

    def __exit__(self, *_):
        if os.environ.get("VORZLE_KEEP_WORK"):
            print("work kept in %s" % self.work)
        else:
            shutil.rmtree(self.work, ignore_errors=True)

    def step(self, step, script, block=1024, latency_of=None):
        """Runs SCRIPT as step STEP at BLOCK frames a cycle: {export name: samples}.
        With LATENCY_OF, the step must render with that earlier step's latencies."""
        settings = "test = { work = [==[%s]==], step = %r, rate = %d, block = %d, plugin = %r, kind = %r, preset = %r }\n" % (
            self.work, step, self.rate, block, self.name, self.kind, PRESET_ID)
        with open(os.path.join(HERE, "session.lua")) as f:
            helpers = f.read()
        path = os.path.join(self.work, step + ".lua")
        with open(path, "w") as f:
            f.write(settings + helpers + script + '\nprint ("STEP DONE")\nclose_session ()\nquit ()\n')
        sessions, out = os.path.join(self.work, "sessions"), os.path.join(self.work, "out", step)
        start = sessions + ".before-" + step
        shutil.copytree(sessions, start)
        began = time.time()
        for attempt in range(1, ATTEMPTS + 1):
            shutil.rmtree(sessions), shutil.copytree(start, sessions)
            shutil.rmtree(out, ignore_errors=True)
            try:
                result = subprocess.run(["ardour7-lua", path], env=self.env, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, errors="replace", timeout=TIMEOUT)
                log, code = result.stdout, result.returncode
            except subprocess.TimeoutExpired as e:
                log, code = e.stdout if isinstance(e.stdout, str) else (e.stdout or b"").decode(errors="replace"), "hung"
            with open(os.path.join(self.work, "%s.%d.log" % (step, attempt)), "w") as f:
                f.write(log)
            lines = log.splitlines()
            latency = next((l.split()[1] for l in lines if l.startswith("LATENCY ")), None)
            if code == 0 and "STEP DONE" in lines:
                if latency_of is None or latency == self.latencies[latency_of]:
                    print("%s: done on attempt %d, %.1f s" % (step, attempt, time.time() - began))
                    self.latencies[step] = latency
                    return {l.split()[1]: self.read(step, l.split()[1]) for l in lines if l.startswith("EXPORTED ")}
                why = "rendered with latencies %s, not %s as in %s" % (latency, self.latencies[latency_of], latency_of)
            elif code == "hung" or (code != 0 and (code < 0 or any(m in log for m in CRASH_MARKS))):
                why = "hung" if code == "hung" else "crashed (exit %d)" % code
            else:
                sys.stdout.write(log[-3000:])
                fail("Ardour step %s (exit %s)" % (step, code))
            print("%s: Ardour %s on its own, attempt %d of %d; its last lines:" % (step, why, attempt, ATTEMPTS))
            print("\n".join(lines[-3:]))
        fail("Ardour broke down in step %s %d times" % (step, ATTEMPTS))

    def read(self, step, name):
        rate, samples = read_float_wav(os.path.join(self.work, "out", step, name + ".wav"))
        if rate != self.rate or not all(math.isfinite(x) for x in samples):
            fail("%s: %d Hz, or samples that are not finite" % (name, rate))
        return samples
