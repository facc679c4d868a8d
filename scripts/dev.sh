#!/usr/bin/env bash
# Sets up a Debian 12 machine for the project (installs what is missing),
# builds it, then starts the program, runs the whole test suite, or packages it.
#   scripts/dev.sh run [program options]
#   scripts/dev.sh test
#   scripts/dev.sh coverage   (line and branch coverage of the product code, per folder)
#   scripts/dev.sh package    (corvane-encoder_<version>_<arch>.deb in this folder)
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}

PACKAGES=(
    g++ cmake ninja-build pkg-config qt6-base-dev
    libmp3lame-dev lame libshine-dev libid3-3.8.3-dev zlib1g-dev libsqlite3-dev
    libavcodec-dev libavformat-dev libavutil-dev libswresample-dev libgtest-dev
    ffmpeg sox python3-mutagen xvfb xauth hostname util-linux bsdutils desktop-file-utils
    clang libfuzzer-14-dev libclang-rt-14-dev
    dpkg-dev file lintian appstream man-db bash-completion
    samba smbnetfs iproute2
)
[ "${1:-}" = coverage ] && PACKAGES+=(gcovr)

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

# BUILD_TARGET: only what that target needs.
build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j2 ${BUILD_TARGET:+--target "$BUILD_TARGET"}
}

command=${1:-run}
[ $# -gt 0 ] && shift

install_missing
case "$command" in
test)
    # The fuzz targets (label fuzz) run for a bounded time in the test run.
    build -DCORVANE_FUZZ=ON
    ;;
coverage)
    # Its own folder: the instrumented objects must never mix with the normal build.
    BUILD_DIR=${COVERAGE_DIR:-$ROOT/build-coverage}
    build -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=OFF \
        -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_C_FLAGS=--coverage \
        -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage
    ;;
package)
    # The package is made from this build's install: only what it installs is built.
    BUILD_TARGET=corvane-installables build
    ;;
*)
    build
    ;;
esac

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
coverage)
    find "$BUILD_DIR" -name '*.gcda' -delete
    (cd "$BUILD_DIR" && ctest -j2 -LE fuzz --timeout 600) || echo "(some tests failed; figures below are still measured)"
    # Product code only: tests, benchmarks, fuzz targets and generated files are left out.
    for folder in app platform engines tags queue net controller headless encoders ui; do
        [ -d "$ROOT/$folder" ] || continue
        gcovr --root "$ROOT" --object-directory "$BUILD_DIR" --filter "$ROOT/$folder/" \
            --exclude '.*_autogen/.*' --gcov-ignore-parse-errors -s 2>/dev/null |
            awk -v f="$folder" '/^lines:/ {sub(/^lines: */, ""); l=$0}
                /^branches:/ {sub(/^branches: */, ""); b=$0}
                END {printf "%-12s lines %-28s branches %s\n", f, l, b}'
    done
    gcovr --root "$ROOT" --object-directory "$BUILD_DIR" --exclude "$ROOT/(tests|bench|fuzz|tools)/" \
        --exclude '.*_autogen/.*' --gcov-ignore-parse-errors -s 2>/dev/null | grep -E '^(lines|branches):' |
        sed 's/^/all          /'
    ;;
package)
    staging="$BUILD_DIR/deb"
    rm -rf "$staging"
    (cd "$BUILD_DIR" && cpack --config CPackConfig.cmake -B "$staging")
    rm -f "$ROOT"/corvane-encoder_*.deb
    mv "$staging"/corvane-encoder_*.deb "$ROOT/"
    rm -rf "$staging"
    deb=$(ls "$ROOT"/corvane-encoder_*.deb)
    echo "Made $deb; install it with: sudo apt-get install ./$(basename "$deb")"
    ;;
*)
    echo "usage: scripts/dev.sh run|test|coverage|package" >&2
    exit 2
    ;;
esac
