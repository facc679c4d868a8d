#!/usr/bin/env bash
# Registers a built x3enc as this machine's external encoder: writes the folder
# that holds it as "Path" into the machine-wide settings the program reads,
# "<first folder of $XDG_CONFIG_DIRS, else /etc/xdg>/Xing Technology Corp./XingMP3 Encoder.conf".
#   scripts/register-x3enc.sh [FOLDER]    FOLDER holds x3enc (default: build/bin)
#   scripts/register-x3enc.sh --remove
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
config=${XDG_CONFIG_DIRS:-/etc/xdg}
config=${config%%:*}
[ -n "$config" ] || config=/etc/xdg
folder="$config/Xing Technology Corp."
file="$folder/XingMP3 Encoder.conf"

if [ "${1:-}" = "--remove" ]; then
    rm -f "$file"
    echo "removed $file"
    exit 0
fi

bin=${1:-${BUILD_DIR:-$root/build}/bin}
if [ ! -x "$bin/x3enc" ]; then
    echo "no x3enc in $bin: build it first (cmake --build build --target x3enc)" >&2
    exit 1
fi
bin=$(cd "$bin" && pwd)

if ! mkdir -p "$folder" 2>/dev/null || ! [ -w "$folder" ]; then
    echo "cannot write $folder: run with sudo, or set XDG_CONFIG_DIRS to a folder of" >&2
    echo "your own for both this script and the program" >&2
    exit 1
fi
# Quoted, so commas and leading spaces in the path survive the settings format.
value=${bin//\\/\\\\}
value=${value//\"/\\\"}
printf '[General]\nPath="%s"\n' "$value" >"$file"
echo "registered $bin/x3enc in $file"
