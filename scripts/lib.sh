# Shared steps of scripts/run and scripts/test: install what is missing, then
# configure and build incrementally. Sourced, not run.
set -euo pipefail

OSTREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OSTREL_BUILD_DIR=${OSTREL_BUILD_DIR:-$OSTREL_ROOT/build}

OSTREL_PACKAGES=(
  cmake ninja-build g++
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  libboost-dev libboost-program-options-dev libboost-locale-dev libboost-thread-dev
  libboost-date-time-dev libboost-iostreams-dev
  libpugixml-dev zlib1g-dev
  libtirpc-dev rpcsvc-proto
  libusb-1.0-0-dev umockdev libumockdev-dev python3-usb
  python3-pyvisa python3-pyvisa-py iproute2
  libgtest-dev libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  locales
)

# What scripts/run needs besides (and the smoke test of scripts/test): a virtual
# X server to run the program on when there is no display, and the tools that
# find, photograph and close its window.
OSTREL_RUN_PACKAGES=(xvfb xauth xdotool imagemagick)

# What making the Debian package needs, and the tools the test of the package
# checks it with (scripts/test).
OSTREL_PACKAGE_PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream shared-mime-info libglib2.0-bin)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages of $@ that are not installed yet.
ostrel_install_missing() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# The number tests also run under a German locale, which writes "1,5".
ostrel_ensure_test_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "Generating the de_DE.UTF-8 locale for the tests"
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
}

# Builds the given targets, or everything.
ostrel_build() {
  local sanitize=${OSTREL_SANITIZE:-OFF}
  local benchmarks=ON
  [ "$sanitize" = ON ] && benchmarks=OFF
  if [ ! -f "$OSTREL_BUILD_DIR/build.ninja" ]; then
    cmake -S "$OSTREL_ROOT" -B "$OSTREL_BUILD_DIR" -G Ninja \
      -DOSTREL_SANITIZE="$sanitize" -DOSTREL_BENCHMARKS="$benchmarks"
  fi
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build "$OSTREL_BUILD_DIR" --parallel "$(nproc)" "${targets[@]}"
}
