"""Builds the Python module vorzle with the project's CMake build, so that it
is compiled exactly as every other build of the instrument (same flags, no
fast maths, no contraction) and sounds the same to the bit.

The CMake tree is build/python in the checkout (only the layers under the
module); VORZLE_BUILD_TREE names another configured tree to take the module
from (the test of this install uses the native tree's)."""
import glob
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


def version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(Vorzle VERSION ([0-9.]+)", f.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        tree = os.environ.get("VORZLE_BUILD_TREE") or os.path.join(ROOT, "build", "python")
        if not os.path.exists(os.path.join(tree, "CMakeCache.txt")):
            subprocess.run(["cmake", "-S", ROOT, "-B", tree, "-DVORZLE_PYTHON_ONLY=ON", "-DCMAKE_BUILD_TYPE=Release",
                            f"-DPYTHON_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", tree, "--target", "vorzle_python", "-j", str(os.cpu_count() or 1)],
                       check=True)
        built = glob.glob(os.path.join(tree, "python", "vorzle", "_vorzle*.so"))
        if len(built) != 1:
            sys.exit(f"setup.py: the build left {len(built)} modules in {tree}/python/vorzle")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


setup(
    name="vorzle",
    version=version(),
    description="Vorzle, a polyphonic subtractive synthesizer: numpy audio from MIDI, patches and songs",
    packages=["vorzle"],
    package_dir={"": "python"},
    package_data={"vorzle": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("vorzle._vorzle", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    install_requires=["numpy"],
    extras_require={"batch": ["distributed"]},
    zip_safe=False,
)
