#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from there: clinora --simulate (offscreen) must start on its installed data,
# clinora-cli --simulate must identify a board, and every program must tell
# its version.
# Usage: install_test.sh CMAKE BUILD_DIR VERSION
set -euo pipefail
cmake_command="$1"
build="$2"
version="$3"

tmp="$(mktemp -d)"
gui=""
cleanup() {
    if [ -n "$gui" ]; then kill "$gui" 2>/dev/null || true; wait "$gui" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$tmp/prefix"
"$cmake_command" --install "$build" --prefix "$prefix" >/dev/null

for file in bin/clinora bin/clinora-cli bin/clinora-sim \
            share/clinora/prompts/CalPrompts.csv share/clinora/prompts/CalPrompts90.csv \
            share/clinora/sounds/Alarm1.wav share/clinora/sounds/Voicbeep.wav \
            share/applications/clinora.desktop share/icons/hicolor/scalable/apps/clinora.svg; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
grep -qx 'Exec=clinora' "$prefix/share/applications/clinora.desktop" || fail "desktop entry"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/clinora.desktop"
fi

for program in clinora clinora-cli clinora-sim; do
    said="$("$prefix/bin/$program" --version)" || fail "$program --version: status $?"
    [ "$said" = "$program (Clinora Host) $version" ] || fail "$program --version said: $said"
    "$prefix/bin/$program" --help | grep -q -i 'usage' || fail "$program --help"
done

# The program on its simulated boards, offscreen, with every folder it
# touches inside the temporary folder. Its demo working folder is filled from
# the installed prompt files: proof that it found its data.
export QT_QPA_PLATFORM=offscreen HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" \
       XDG_RUNTIME_DIR="$tmp/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
work="$tmp/work"
"$prefix/bin/clinora" --simulate --workdir "$work" >"$tmp/clinora.log" 2>&1 &
gui=$!
for _ in $(seq 100); do
    [ -e "$work/CalPrompts.csv" ] && break
    kill -0 "$gui" 2>/dev/null || break
    sleep 0.1
done
[ -e "$work/CalPrompts.csv" ] || { cat "$tmp/clinora.log" >&2; fail "no demo folder from the installed data"; }
cmp -s "$work/CalPrompts.csv" "$prefix/share/clinora/prompts/CalPrompts.csv" || fail "prompt file differs"
sleep 1
kill -0 "$gui" 2>/dev/null || { cat "$tmp/clinora.log" >&2; fail "clinora --simulate ended"; }

said="$("$prefix/bin/clinora-cli" --simulate identify --address 101)" || fail "identify: status $?"
echo "$said" | grep -qx 'Serial Number : ZC-000001' || fail "identify said: $said"
echo "install test passed"
