"""The documented install: pip into a fresh venv over Debian's packages, offline,
gives a vorzle that imports outside the checkout and sounds as the tree's."""
import os
import subprocess
import sys

import vorzle
from conftest import ROOT


def test_pip_install_into_a_fresh_venv(tmp_path):
    venv = tmp_path / "venv"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)], check=True)
    # The tree's module, already built, instead of a second build of its own.
    env = dict(os.environ, VORZLE_BUILD_TREE=os.path.dirname(os.path.dirname(os.path.dirname(vorzle.__file__))))
    env.pop("PYTHONPATH", None)
    subprocess.run([str(venv / "bin" / "pip"), "install", "-q", "--no-build-isolation", "--no-index", ROOT],
                   check=True, env=env, cwd=tmp_path)
    code = "import vorzle; s = vorzle.Synth(); s.note_on(60); print(vorzle.__file__); print(s.render(600).tobytes().hex())"
    out = subprocess.run([str(venv / "bin" / "python"), "-c", code], check=True, env=env, cwd=tmp_path,
                         capture_output=True, text=True).stdout.split()
    reference = vorzle.Synth()
    reference.note_on(60)
    assert out[0].startswith(str(venv)) and out[1] == reference.render(600).tobytes().hex()
