"""Builds the Python package `mavu` with the project's CMake (see pyproject.toml).

The extension mavu._mavu is the CMake target _mavu, configured with the release
preset (its assertions stay on) for the interpreter running the build, in a
folder of setuptools' build tree; the package's Python files come from python/mavu.
Environment: MAVU_CMAKE_ARGS adds arguments to the configuration (split like a
shell would), CMAKE_BUILD_PARALLEL_LEVEL sets the build's jobs as for cmake.
"""
import glob
import importlib.util
import os
import re
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, find_packages, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def project_version():
    """The VERSION of project(mavu ...) in CMakeLists.txt."""
    with open(os.path.join(HERE, "CMakeLists.txt")) as f:
        m = re.search(r"^project\(mavu\b[^)]*\bVERSION\s+([0-9]+(?:\.[0-9]+)*)", f.read(), re.M)
    if m is None:
        sys.exit("setup.py: no project(mavu ... VERSION x.y.z) in CMakeLists.txt")
    return m.group(1)


def check_build_requirements():
    """Stops with a message naming what a build needs and this system lacks,
    before setuptools fails on it with a bare "invalid command 'bdist_wheel'"
    or a missing program."""
    building = {"bdist_wheel", "build", "build_ext", "install", "develop", "editable_wheel"} & set(sys.argv[1:])
    if not building:
        return
    missing = []
    if "bdist_wheel" in sys.argv[1:] and importlib.util.find_spec("setuptools.command.bdist_wheel") is None:
        try:
            import wheel  # noqa: F401  (setuptools before 70.1 builds wheels with it)
        except ImportError:
            missing.append("the Python package wheel, which builds the wheel (pip install wheel; "
                           "Debian: python3-wheel)")
    for program, package in (("cmake", "cmake"), ("ninja", "ninja-build")):
        if shutil.which(program) is None:
            missing.append(f"{program}, which builds the extension (Debian: {package})")
    if missing:
        sys.exit(f"setup.py: cannot build mavu with {sys.executable}: missing\n  - " + "\n  - ".join(missing)
                 + "\nWith pip --no-build-isolation the Python packages come from this interpreter; "
                 "a C++20 compiler and pybind11's headers are needed too (tools/install-deps.sh).")


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        # The release preset's settings, in a folder of our own (-B wins over the preset's).
        configure = ["cmake", "-S", HERE, "--preset", "release", "-B", build,
                     "-DMAVU_BUILD_TESTS=OFF", "-DMAVU_BUILD_PYTHON=ON",
                     f"-DPython_EXECUTABLE={sys.executable}"]
        configure += shlex.split(os.environ.get("MAVU_CMAKE_ARGS", ""))
        for cmd in (configure, ["cmake", "--build", build, "--target", "_mavu"]):
            print(" ".join(shlex.quote(c) for c in cmd), flush=True)
            subprocess.run(cmd, check=True)
        built = glob.glob(os.path.join(build, "python", "mavu", "_mavu*.so"))
        if len(built) != 1:
            sys.exit(f"setup.py: the CMake build made {built or 'no'} _mavu extension "
                     "(is pybind11-dev installed? see the configure output)")
        dest = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copyfile(built[0], dest)


check_build_requirements()
setup(
    version=project_version(),
    packages=find_packages("python"),
    package_dir={"": "python"},
    package_data={"": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("mavu._mavu", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
