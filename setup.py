# setuptools drives the CMake build of the package velk (src/python): the extension, its Python
# file and the type stubs, as build/python/velk holds them after `cmake --build build`. The
# version is the CMake project's, the one velk --version prints.
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (SOURCE / "CMakeLists.txt").read_text()
    return re.search(r"project\(velk VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        package = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        subprocess.check_call([
            "cmake", "-S", str(SOURCE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DVELK_PYTHON=ON", "-DVELK_BENCH=OFF", "-DVELK_TESTS=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}"])
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.check_call(["cmake", "--build", str(build), "--target", "velk_python",
                               "-j", jobs])
        built = build / "python" / "velk"
        package.mkdir(parents=True, exist_ok=True)
        for file in built.iterdir():
            shutil.copy2(file, package / file.name)


setup(
    version=project_version(),
    # The extension is built by CMake; its name tells setuptools where it goes.
    ext_modules=[Extension("velk._velk", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    packages=[],
    options={"build": {"build_base": "build-pip"}},
)
