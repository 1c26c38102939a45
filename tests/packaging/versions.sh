#!/bin/sh
# Both programs print the project's version, and tessara-cli's --help-all (the
# man page's source) holds every command's options. The desktop application
# answers --version and --help without a display, as the man page build and
# a terminal over ssh need; text that cannot be written is a failure.
set -u
VERSION=$1
CLI=$2
GUI=${3:-}
fail() {
    echo "versions: FAILED: $*"
    exit 1
}

out=$("$CLI" --version) || fail "tessara-cli --version: exit $?"
[ "$out" = "tessara-cli $VERSION" ] || fail "tessara-cli --version: $out"
if [ -w /dev/full ]; then
    "$CLI" --version >/dev/full 2>/dev/null
    [ $? -eq 1 ] || fail "tessara-cli --version into a full device: not exit 1"
fi
help=$("$CLI" --help-all) || fail "tessara-cli --help-all: exit $?"
for option in --max-file-size --sidescan --log --first --channel-start --sample-interval \
    --nav-average-fixes --json --version; do
    echo "$help" | grep -q -- "$option" || fail "tessara-cli --help-all lacks $option"
done

if [ -n "$GUI" ]; then
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$GUI" --version) ||
        fail "tessara --version without a display: exit $?"
    [ "$out" = "tessara $VERSION" ] || fail "tessara --version: $out"
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$GUI" --help) ||
        fail "tessara --help without a display: exit $?"
    echo "$out" | grep -q -- "--version" || fail "tessara --help: $out"
    if [ -w /dev/full ]; then
        "$GUI" --help >/dev/full 2>/dev/null
        [ $? -eq 1 ] || fail "tessara --help into a full device: not exit 1"
    fi
fi
echo "versions: ok"
