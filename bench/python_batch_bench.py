#!/usr/bin/python3
"""Throughput of python3 -m vorzle.batch on Dask: audio-seconds per second of
30-second songs with 1 and with 2 worker processes, and the cost per job of
scheduling (very short songs), beside the same jobs run serially in one
process. A benchmark, run by hand (about a minute):

    PYTHONPATH=build/native/python /usr/bin/python3 bench/python_batch_bench.py [--songs 16]

(or with the venv's python after the pip install). The cluster starts before
the clock does; every run renders into a fresh folder."""
import argparse
import logging
import os
import random
import sys
import tempfile
import time

from distributed import Client, LocalCluster

from vorzle import batch

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
import smf  # noqa: E402


def song(path, seed, seconds):
    rng = random.Random(seed)
    s = smf.Song(120.0)
    t = s.track()
    beats = seconds * 2
    for _ in range(max(1, int(beats * 2))):
        start = rng.uniform(0, max(beats - 0.5, 0.01))
        t.note(start, rng.uniform(0.1, 1.0), rng.randrange(36, 90), rng.randrange(60, 128))
    s.write(path, end_beat=beats)


def corpus(folder, name, count, seconds):
    rows = ["midi,output,program,tail"]
    for i in range(count):
        song(os.path.join(folder, f"{name}{i}.mid"), i, seconds)
        rows.append(f"{name}{i}.mid,{name}-out/{i}.wav,{i % 128},0.5")   # a fixed tail: equal lengths
    manifest = os.path.join(folder, f"{name}.csv")
    with open(manifest, "w") as f:
        f.write("\n".join(rows) + "\n")
    return manifest


def fresh(jobs, tag):
    for job in jobs:
        job["output_path"] = job["output_path"].replace("-out/", f"-out-{tag}/")
    return jobs


def timed(jobs, client):
    started = time.perf_counter()
    results = batch.run_jobs(jobs, client) if client else [batch.render_job(j) for j in jobs]
    wall = time.perf_counter() - started
    assert all(r["status"] == "rendered" for r in results), results
    return wall, sum(r["seconds"] for r in results), sum(r["cpu_seconds"] for r in results)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--songs", type=int, default=16, help="30-second songs per run")
    parser.add_argument("--short", type=int, default=200, help="0.1-second songs for the per-job cost")
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="vorzle-bench-")
    long_manifest = corpus(folder, "long", args.songs, 30.0)
    short_manifest = corpus(folder, "short", args.short, 0.1)
    print(f"load average before: {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")

    wall, audio, _ = timed(fresh(batch.read_manifest(long_manifest), "serial"), None)
    per_song = wall / args.songs
    short_wall, _, _ = timed(fresh(batch.read_manifest(short_manifest), "serial"), None)
    print(f"serial, one process:  {audio / wall:7.0f} audio-s/s  ({per_song * 1000:.0f} ms per 30-s song job, "
          f"{short_wall / args.short * 1000:.1f} ms per short job)")
    rates = {}
    for workers in (1, 2):
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address="127.0.0.1:0",
                          silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
            timed(fresh(batch.read_manifest(short_manifest), f"warm{workers}")[:4], client)   # imports, first tables
            wall, audio, cpu = timed(fresh(batch.read_manifest(long_manifest), f"w{workers}"), client)
            rates[workers] = audio / wall
            # Per CPU second of the jobs: what each worker gives on a core of its own,
            # whatever else runs on the machine.
            print(f"{workers} worker(s), Dask: {rates[workers]:7.0f} audio-s/s; {audio / cpu:.0f} audio-s per job CPU-s")
            if workers == 1:
                wall, _, _ = timed(fresh(batch.read_manifest(short_manifest), "short"), client)
                overhead = (wall - short_wall) / args.short
                print(f"short jobs, 1 worker: {args.short / wall:7.1f} jobs/s; Dask's cost per job "
                      f"{overhead * 1000:.1f} ms = {100 * overhead / per_song:.1f} % of a 30-s song's job")
    print(f"2 workers / 1 worker: {rates[2] / rates[1]:.2f}x")
    print(f"load average after: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
