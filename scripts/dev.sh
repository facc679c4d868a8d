#!/usr/bin/env bash
# Sets up a Debian 12 machine for the project (installs what is missing),
# builds it, then either starts the program or runs the whole test suite.
#   scripts/dev.sh run [program options]
#   scripts/dev.sh test
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}

PACKAGES=(
    g++ cmake ninja-build pkg-config qt6-base-dev
    libmp3lame-dev lame libshine-dev libid3-3.8.3-dev zlib1g-dev
    libavcodec-dev libavformat-dev libavutil-dev libswresample-dev libgtest-dev
    ffmpeg sox python3-mutagen xvfb xauth hostname util-linux bsdutils desktop-file-utils
    clang libfuzzer-14-dev libclang-rt-14-dev
)

install_missing() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j2
}

command=${1:-run}
[ $# -gt 0 ] && shift

install_missing
if [ "$command" = test ]; then
    # The fuzz targets (label fuzz) run for a bounded time in the test run.
    build -DCORVANE_FUZZ=ON
else
    build
fi

case "$command" in
run)
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec "$BUILD_DIR/bin/corvane-encoder" "$@"
    fi
    echo "No display found: starting without a window (--headless) on the configured folders."
    exec "$BUILD_DIR/bin/corvane-encoder" --headless "$@"
    ;;
test)
    cd "$BUILD_DIR"
    ctest -j2 --output-on-failure --timeout 600
    ;;
*)
    echo "usage: scripts/dev.sh run|test" >&2
    exit 2
    ;;
esac
