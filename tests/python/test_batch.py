"""python3 -m vorzle.batch on real Dask processes: a local cluster that loses a
worker mid-run, a rerun, bad rows, and a dask scheduler with two dask workers."""
import glob
import logging
import os
import shutil
import signal
import subprocess
import sys
import time

import pytest
from distributed import Client, LocalCluster

from vorzle import batch
from conftest import random_song

DASK = "/usr/bin/dask"


@pytest.fixture(scope="module")
def corpus(tmp_path_factory):
    """Eight rows of 20-second songs (long enough for a worker to die mid-job)
    and their outputs rendered serially in this process."""
    folder = tmp_path_factory.mktemp("corpus")
    rows = ["midi,output,program,sample_rate,Cutoff,tail"]
    for i in range(8):
        random_song(str(folder / f"song{i}.mid"), 100 + i, seconds=20.0)
        rows.append(f"song{i}.mid,out/song{i}.wav,{['Rave bass', i * 9][i % 2]},{[44100, 48000][i % 3 == 0]},"
                    f"{'0.3' if i % 4 == 1 else ''},{'1' if i == 5 else ''}")
    (folder / "manifest.csv").write_text("\n".join(rows) + "\n")
    for job in batch.read_manifest(str(folder / "manifest.csv")):
        job["output_path"] = str(folder / "serial" / os.path.basename(job["output_path"]))
        assert batch.render_job(job)["status"] == "rendered"
    return folder


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address="127.0.0.1:0",
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
        yield client


def assert_outputs_are_serial(corpus, out):
    for serial in glob.glob(str(corpus / "serial" / "*")):
        with open(serial, "rb") as a, open(os.path.join(out, os.path.basename(serial)), "rb") as b:
            first, second = a.read(), b.read()
        if serial.endswith(".json"):   # the same but for the output's own name
            first, second = (t.replace(b"serial", b"out") for t in (first, second))
        assert first == second, serial
    assert not glob.glob(os.path.join(out, ".*")), "temporary files left"


def test_a_worker_killed_mid_run_loses_nothing_and_a_rerun_skips_all(corpus, client):
    jobs = batch.read_manifest(str(corpus / "manifest.csv"))
    pids = client.run(os.getpid)
    killed = []

    class KillOnFirstResult(batch.Progress):
        def update(self, result):
            super().update(result)
            if not killed:
                busy = [address for address, keys in client.processing().items() if keys]
                killed.append(busy[0])
                os.kill(pids[busy[0]], signal.SIGKILL)

    results = batch.run_jobs(jobs, client, progress=KillOnFirstResult(len(jobs), enabled=False))
    assert killed and [r["status"] for r in results] == ["rendered"] * 8
    assert_outputs_are_serial(corpus, str(corpus / "out"))
    assert [r["status"] for r in batch.run_jobs(jobs, client)] == ["skipped"] * 8


# (manifest row, reason reported for it)
BAD_ROWS = [
    ("missing.mid,out/a.wav,,", "No such file"),
    ("notes.txt,out/b.wav,,", "not a playable MIDI file"),
    ("song0.mid,out/c.wav,No such program,", "no program named"),
    ("song0.mid,out/d.wav,,fast", "invalid literal"),
    ("song0.mid,out/e.wav,200,", "outside 0 to 127"),
    ("song0.mid,out/f.wav,,,2", "Cutoff"),
    ("song0.mid,,,", "midi and output must be given"),
]


def test_bad_rows_are_reported_and_the_others_done(corpus, client, capsys):
    (corpus / "notes.txt").write_text("not MIDI")
    manifest = corpus / "bad.csv"
    manifest.write_text("midi,output,program,sample_rate,Cutoff\n" + "\n".join(r for r, _ in BAD_ROWS) +
                        "\nsong1.mid,out/good.wav,,,\n")
    assert batch.main([str(manifest), "--scheduler", client.scheduler.address, "--quiet"]) == 1
    report = capsys.readouterr().out.splitlines()
    for n, (_, reason) in enumerate(BAD_ROWS, start=1):
        assert reason in report[n - 1] and report[n - 1].startswith(f"row {n} "), report
    assert report[-1].startswith(f"1 rendered, 0 skipped, {len(BAD_ROWS)} failed")
    assert not glob.glob(str(corpus / "out" / ".*"))
    manifest.write_text("midi,output,colour\n")
    assert batch.main([str(manifest), "--quiet"]) == 2 and "unknown column(s) colour" in capsys.readouterr().err


def test_the_same_jobs_on_dask_scheduler_and_worker_processes(corpus, tmp_path):
    scheduler_file = str(tmp_path / "scheduler.json")
    started = [subprocess.Popen([DASK, "scheduler", "--host", "127.0.0.1", "--port", "0", "--no-dashboard",
                                 "--scheduler-file", scheduler_file], stderr=subprocess.DEVNULL)]
    try:
        for _ in range(2):
            started.append(subprocess.Popen([DASK, "worker", "--scheduler-file", scheduler_file, "--nthreads", "1",
                                             "--host", "127.0.0.1", "--no-dashboard"], stderr=subprocess.DEVNULL))
        with Client(scheduler_file=scheduler_file, timeout="30s") as client:
            client.wait_for_workers(2, timeout=60)
            address = client.scheduler.address
        shutil.copytree(corpus, tmp_path / "corpus", ignore=shutil.ignore_patterns("out"))
        run = subprocess.run([sys.executable, "-m", "vorzle.batch", str(tmp_path / "corpus" / "manifest.csv"),
                              "--scheduler", address], capture_output=True, text=True, timeout=120)
        assert run.returncode == 0 and run.stdout.startswith("8 rendered, 0 skipped, 0 failed"), run
        assert run.stderr == ""   # no progress bar without a terminal
        assert_outputs_are_serial(tmp_path / "corpus", str(tmp_path / "corpus" / "out"))
    finally:
        for process in reversed(started):
            process.send_signal(signal.SIGTERM)
        for process in reversed(started):
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
