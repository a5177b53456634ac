"""Renders a corpus: one WAV and one JSON per row of a manifest, on Dask.

    python3 -m vorzle.batch MANIFEST.csv [--scheduler tcp://HOST:PORT] [--workers N]

The manifest is a CSV file with a header. Columns:
  midi         the MIDI file (required)
  output       the WAV file to write (required); its JSON goes beside it (x.wav -> x.json)
  program      index 0-127 or name (empty: 0, as the plug-in starts)
  sample_rate  8000-384000 (empty: 44100)
  tail         seconds after the song (empty: until silence, at most 30 s)
  transpose    semitones -48..48;  per_channel, gm: 1/0 or true/false
  any parameter name (Cutoff, Resonance, ...): a value 0..1 stored after the program is chosen
Relative paths are taken from the manifest's folder. Audio is what
``vorzle.render_midi`` gives (the renderer's samples), written as 32-bit float WAV.

Without --scheduler an embedded LocalCluster runs one single-threaded worker
process per core. Outputs are written under a temporary name and renamed
when complete; a rerun skips rows whose WAV and JSON match their inputs; jobs
of a worker that dies are rerun elsewhere; a row that fails is reported and
the others go on. Exit status: 0 all rows done, 1 some row failed, 2 the
manifest or the command line is unusable.
"""
from __future__ import annotations

import argparse
import csv
import functools
import hashlib
import importlib
import json
import logging
import math
import os
import struct
import sys
import time
import warnings
from typing import Optional

import numpy as np

import vorzle

BASE_COLUMNS = ("midi", "output", "program", "sample_rate", "tail", "transpose", "per_channel", "gm")
_PARAMETER_COLUMNS = {name.lower(): name for name in vorzle.PARAMETER_NAMES}
_TRUE = {"1", "true", "yes", "on"}
_FALSE = {"", "0", "false", "no", "off"}


class ManifestError(Exception):
    """The manifest as a whole cannot be used."""


# ---------------------------------------------------------------- the manifest
def _row_job(row: dict, number: int, folder: str) -> dict:
    """A job from a manifest row: everything a worker needs, plain and picklable.
    A value that cannot be read gives the job an 'error' instead."""
    job = {"row": number, "midi": row.get("midi", "").strip(), "output": row.get("output", "").strip()}
    try:
        if not job["midi"] or not job["output"]:
            raise ValueError("midi and output must be given")
        job["midi_path"] = os.path.join(folder, job["midi"])
        job["output_path"] = os.path.join(folder, job["output"])
        program = row.get("program", "").strip()
        job["program"] = int(program) if program.lstrip("-").isdigit() else (program or 0)
        job["sample_rate"] = int(row.get("sample_rate", "").strip() or 44100)
        tail = row.get("tail", "").strip()
        job["tail"] = float(tail) if tail else None
        transpose = row.get("transpose", "").strip()
        job["transpose"] = int(transpose) if transpose else None
        for flag in ("per_channel", "gm"):
            text = row.get(flag, "").strip().lower()
            if text not in _TRUE | _FALSE:
                raise ValueError(f"{flag}: {text!r} is not 1/0 or true/false")
            job[flag] = text in _TRUE
        job["parameters"] = {}
        for column, text in row.items():
            if column.lower() in _PARAMETER_COLUMNS and text.strip():
                job["parameters"][_PARAMETER_COLUMNS[column.lower()]] = float(text)
    except ValueError as e:
        job["error"] = str(e)
    return job


def read_manifest(path: str) -> list:
    """The jobs of a manifest, in row order (rows counted from 1 after the header)."""
    try:
        with open(path, newline="", encoding="utf-8") as f:
            reader = csv.DictReader(f)
            if not reader.fieldnames:
                raise ManifestError(f"{path}: empty, no header")
            header = [c.strip() for c in reader.fieldnames]
            unknown = [c for c in header if c.lower() not in BASE_COLUMNS and c.lower() not in _PARAMETER_COLUMNS]
            if unknown:
                raise ManifestError(f"{path}: unknown column(s) {', '.join(unknown)}; the columns are "
                                    f"{', '.join(BASE_COLUMNS)} and the parameter names")
            if "midi" not in [c.lower() for c in header] or "output" not in [c.lower() for c in header]:
                raise ManifestError(f"{path}: the header needs the columns midi and output")
            reader.fieldnames = [c.lower() if c.lower() in BASE_COLUMNS else c for c in header]
            folder = os.path.dirname(os.path.abspath(path))
            jobs = [_row_job({k: (v or "") for k, v in row.items() if k is not None}, n, folder)
                    for n, row in enumerate(reader, start=1)]
    except (OSError, UnicodeDecodeError, csv.Error) as e:
        raise ManifestError(f"{path}: {e}") from None
    seen = {}
    for job in jobs:
        if "error" in job:
            continue
        key = os.path.normcase(os.path.abspath(job["output_path"]))
        if key in seen:
            job["error"] = f"output {job['output']} is also row {seen[key]}'s"
        else:
            seen[key] = job["row"]
    return jobs


# ---------------------------------------------------------------- one job (on a worker)
def _json_path(output: str) -> str:
    return os.path.splitext(output)[0] + ".json"


def _partial(path: str) -> str:
    """The temporary name of an output: fixed, so a rerun after a killed job overwrites it."""
    folder, name = os.path.split(path)
    return os.path.join(folder, f".{name}.partial")


def wav_bytes(audio: np.ndarray, sample_rate: int) -> bytes:
    """A 32-bit float stereo WAV, laid out as vorzle-render --format f32 writes it."""
    data = np.ascontiguousarray(audio.T, dtype="<f4").tobytes()
    header = b"RIFF" + struct.pack("<I", 50 + len(data)) + b"WAVEfmt " + struct.pack(
        "<IHHIIHHH", 18, 3, 2, sample_rate, sample_rate * 8, 8, 32, 0) + b"fact" + struct.pack(
        "<II", 4, audio.shape[1]) + b"data" + struct.pack("<I", len(data))
    return header + data


def _write(path: str, data: bytes) -> None:
    temporary = _partial(path)
    # Complete before it takes the name: a job killed while writing leaves only
    # the temporary file, which the job's rerun overwrites. (No fsync: the
    # contract is against dying workers, and fsync cost more than a render.)
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


@functools.lru_cache(maxsize=None)
def _programs() -> tuple:
    return vorzle.Synth().programs


def _program_index(program) -> int:
    if isinstance(program, int):
        if not 0 <= program < vorzle.NUM_PROGRAMS:
            raise ValueError(f"program {program} is outside 0 to 127")
        return program
    lowered = [n.lower() for n in _programs()]
    if program.lower() not in lowered:
        raise ValueError(f"no program named {program!r}")
    return lowered.index(program.lower())


def _inputs(job: dict, midi: bytes) -> dict:
    return {"midi_sha256": hashlib.sha256(midi).hexdigest(), "program": _program_index(job["program"]),
            "sample_rate": job["sample_rate"], "tail": job["tail"], "transpose": job["transpose"],
            "per_channel": job["per_channel"], "gm": job["gm"], "parameters": job["parameters"],
            "vorzle_version": vorzle.__version__}


def _done_before(output: str, inputs_hash: str) -> bool:
    try:
        with open(_json_path(output), encoding="utf-8") as f:
            record = json.load(f)
        return record.get("inputs_sha256") == inputs_hash and os.path.getsize(output) == record.get("wav_bytes")
    except (OSError, ValueError, AttributeError):
        return False


def render_job(job: dict) -> dict:
    """Renders one manifest row; runs on a Dask worker. Returns a result with
    'status' rendered, skipped or failed (with 'reason'); only faults of the
    worker itself raise (and are retried)."""
    result = {"row": job["row"], "midi": job["midi"], "output": job["output"], "seconds": 0.0}
    if "error" in job:
        return dict(result, status="failed", reason=job["error"])
    output = job["output_path"]
    try:
        with open(job["midi_path"], "rb") as f:
            midi = f.read()
        inputs = _inputs(job, midi)
        inputs_hash = hashlib.sha256(json.dumps(inputs, sort_keys=True).encode()).hexdigest()
        if _done_before(output, inputs_hash):
            return dict(result, status="skipped")
        started, cpu_started = time.perf_counter(), time.process_time()
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            audio = vorzle.render_midi(midi, inputs["program"], job["sample_rate"], tail=job["tail"],
                                       transpose=job["transpose"], per_channel=job["per_channel"], gm=job["gm"],
                                       parameters=job["parameters"])
        render_seconds = time.perf_counter() - started
        rate = job["sample_rate"]
        wav = wav_bytes(audio, rate)
        peak = float(np.max(np.abs(audio))) if audio.size else 0.0
        record = {"midi": job["midi"], "output": job["output"], "program_name": _programs()[inputs["program"]], **inputs, "inputs_sha256": inputs_hash, "frames": int(audio.shape[1]),
                  "seconds": audio.shape[1] / rate, "peak": peak,
                  "peak_dbfs": 20 * math.log10(peak) if peak > 0 else None, **vorzle.loudness(audio, rate, true_peak=False),
                  "wav_bytes": len(wav), "warnings": [str(w.message).split(": ", 1)[-1] for w in caught]}
        folder = os.path.dirname(output)
        if folder:
            os.makedirs(folder, exist_ok=True)
        _write(output, wav)
        _write(_json_path(output), (json.dumps(record, indent=1) + "\n").encode())
        return dict(result, status="rendered", seconds=record["seconds"], render_seconds=render_seconds,
                    cpu_seconds=time.process_time() - cpu_started)
    except (OSError, ValueError, TypeError) as e:
        for temporary in (_partial(output), _partial(_json_path(output))):
            try:
                os.remove(temporary)
            except OSError:
                pass
        reason = f"{e.strerror}: {e.filename}" if isinstance(e, OSError) and e.strerror and e.filename else str(e)
        return dict(result, status="failed", reason=reason)


# ---------------------------------------------------------------- the run (on the client)
class Progress:
    """Rows done, their rate and the time left on one line of a terminal; silent elsewhere."""

    def __init__(self, total: int, stream=sys.stderr, enabled: Optional[bool] = None):
        self.total, self.stream, self.done, self.audio = total, stream, 0, 0.0
        self.enabled = stream.isatty() if enabled is None else enabled
        self.started = time.monotonic()

    def update(self, result: dict) -> None:
        self.done += 1
        self.audio += result.get("seconds", 0.0)
        if not self.enabled:
            return
        elapsed = max(time.monotonic() - self.started, 1e-9)
        rate = self.done / elapsed
        left = (self.total - self.done) / rate if rate > 0 else 0.0
        width = 24
        filled = int(width * self.done / max(self.total, 1))
        self.stream.write(f"\r[{'#' * filled}{'.' * (width - filled)}] {self.done}/{self.total} rows, "
                          f"{rate:.1f} rows/s, {self.audio / elapsed:.0f} audio-s/s, "
                          f"{int(left) // 60}:{int(left) % 60:02d} left ")
        self.stream.flush()

    def close(self) -> None:
        if self.enabled:
            self.stream.write("\n")
            self.stream.flush()


def run_jobs(jobs: list, client, retries: int = 3, progress: Optional[Progress] = None) -> list:
    """Every job on the client's cluster; the results in row order. A job
    whose worker died is rerun by Dask; one that still cannot finish after
    ``retries`` attempts (or kills workers repeatedly) is a failed row."""
    from distributed import as_completed

    # By its module's name: run as python3 -m vorzle.batch this module is __main__,
    # which a worker process cannot import.
    job_function = importlib.import_module("vorzle.batch").render_job
    futures = {client.submit(job_function, job, retries=retries, pure=False): job for job in jobs}
    results = []
    for future in as_completed(futures):
        job = futures[future]
        try:
            result = future.result()
        except Exception as e:  # a fault of the worker, not of the row: KilledWorker, out of memory
            result = {"row": job["row"], "midi": job["midi"], "output": job["output"], "seconds": 0.0,
                      "status": "failed", "reason": f"the job could not finish on the cluster: {type(e).__name__}: {e}"}
            for path in (job.get("output_path"), job.get("output_path") and _json_path(job["output_path"])):
                if path and os.path.exists(_partial(path)):
                    os.remove(_partial(path))
        results.append(result)
        if progress:
            progress.update(result)
    return sorted(results, key=lambda r: r["row"])


def summary(results: list, wall: float) -> str:
    counts = {s: sum(1 for r in results if r["status"] == s) for s in ("rendered", "skipped", "failed")}
    audio = sum(r["seconds"] for r in results if r["status"] == "rendered")
    lines = [f"row {r['row']} ({r['midi']}): {r['reason']}" for r in results if r["status"] == "failed"]
    speed = f", {audio / wall:.0f}x real time" if wall > 0 and audio > 0 else ""
    lines.append(f"{counts['rendered']} rendered, {counts['skipped']} skipped, {counts['failed']} failed; "
                 f"{audio:.1f} s of audio in {wall:.1f} s{speed}")
    return "\n".join(lines)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m vorzle.batch", description=__doc__.split("\n\n")[0],
                                     epilog="Columns: " + ", ".join(BASE_COLUMNS) + ", and parameter names.")
    parser.add_argument("manifest", help="CSV file, one job a row")
    parser.add_argument("--scheduler", metavar="tcp://HOST:PORT",
                        help="a running Dask scheduler (dask scheduler / dask worker); default: a local cluster")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster (default: one per core)")
    parser.add_argument("--retries", type=int, default=3, help="attempts after a job's worker failed (default 3)")
    parser.add_argument("--quiet", action="store_true", help="no progress bar, only failures and the summary")
    args = parser.parse_args(argv)
    if args.workers < 1 or args.retries < 0:
        parser.error("--workers is 1 or more, --retries 0 or more")
    try:
        jobs = read_manifest(args.manifest)
    except ManifestError as e:
        print(f"vorzle.batch: {e}", file=sys.stderr)
        return 2

    from distributed import Client, LocalCluster

    started = time.monotonic()
    progress = Progress(len(jobs), enabled=None if not args.quiet else False)
    try:
        if args.scheduler:
            cluster = None
            client = Client(args.scheduler, timeout="20s")
        else:
            # Its HTTP server on a free port of this machine only (8787 may be taken).
            cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                                   dashboard_address="127.0.0.1:0", silence_logs=logging.ERROR)
            client = Client(cluster)
    except (OSError, TimeoutError) as e:
        print(f"vorzle.batch: cannot reach the scheduler {args.scheduler}: {e}", file=sys.stderr)
        return 2
    try:
        results = run_jobs(jobs, client, args.retries, progress)
    finally:
        progress.close()
        client.close()
        if cluster is not None:
            cluster.close()
    print(summary(results, time.monotonic() - started))
    return 1 if any(r["status"] == "failed" for r in results) else 0


if __name__ == "__main__":
    sys.exit(main())
