# Shared by scripts/test and scripts/demo: installs the Debian packages femtokit
# needs when they are missing, then configures and builds build/.
# Sourced, not run; sets FEMTOKIT_ROOT and FEMTOKIT_BUILD.

FEMTOKIT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FEMTOKIT_BUILD=${FEMTOKIT_BUILD:-$FEMTOKIT_ROOT/build}
# Build: compiler, CMake, GSL, GoogleTest, Google Benchmark; configuration and
# results: toml++ and nlohmann-json; Python package: pybind11, Python headers and
# Debian's numpy, iminuit, matplotlib and pytest (for /usr/bin/python3).
FEMTOKIT_PACKAGES="cmake g++ make libgsl-dev libgtest-dev libbenchmark-dev pkg-config
  libtomlplusplus-dev nlohmann-json3-dev
  pybind11-dev python3-dev python3-numpy python3-iminuit python3-matplotlib python3-pytest"
# Optional: with Open MPI, femtooscar is also built to share its pairs over MPI ranks. Installed
# when root installs the rest; the build works without it.
FEMTOKIT_OPTIONAL_PACKAGES="libopenmpi-dev openmpi-bin"

femtokit_install_missing() {
  local missing=()
  for pkg in $FEMTOKIT_PACKAGES; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "femtokit needs these Debian packages: ${missing[*]}"
    echo "Install them with:"
    echo "  sudo apt-get update && sudo apt-get install -y $FEMTOKIT_PACKAGES"
    return 1
  fi
  echo "Installing missing packages: ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" &&
    { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $FEMTOKIT_OPTIONAL_PACKAGES ||
        echo "optional packages not installed ($FEMTOKIT_OPTIONAL_PACKAGES): femtooscar without MPI"; }
}

femtokit_build() {
  cmake -S "$FEMTOKIT_ROOT" -B "$FEMTOKIT_BUILD" -DCMAKE_BUILD_TYPE=Release \
    -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null &&
    cmake --build "$FEMTOKIT_BUILD" -j "$(nproc)"
}
