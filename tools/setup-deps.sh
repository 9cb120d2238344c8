#!/usr/bin/env bash
# Installs the Debian packages the build needs, and only those that are
# missing, without asking. Extra package names may be given as arguments.
set -euo pipefail
# The graphics library: OpenGL, EGL and GLU headers, Mesa's drivers (the
# cameras render through surfaceless EGL with llvmpipe), JPEG and PNG; a
# virtual X server for the tests of a viewer's GLX context.
graphics=(libgl-dev libegl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0 libjpeg-dev libpng-dev libx11-dev
          xvfb xauth)
# The Python package: pybind11 and the system Python's headers, numpy, pytest;
# matplotlib for an example.
python=(python3-dev pybind11-dev python3-numpy python3-pytest python3-matplotlib)
# The interactive viewer, kelmar-view: VTK 9 (it brings Qt and more with it).
viewer=(libvtk9-dev)
wanted=(g++ cmake ninja-build make libgtest-dev libbenchmark-dev clang libclang-rt-14-dev clang-format ccache liblapack-dev pkg-config
        "${graphics[@]}" "${python[@]}" "${viewer[@]}" "$@")
# The sweep layer (kelmar.batch): Dask's distributed scheduler, for the
# system interpreter /usr/bin/python3.
wanted+=(python3-distributed)
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
