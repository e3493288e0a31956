#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from there: clinora --simulate (offscreen) must start on its installed data,
# clinora-cli --simulate must identify a board, and every program must tell
# its version. The desktop entry and the AppStream metadata must pass their
# validators, and the Debian package built with CPack must hold every file
# and pass lintian without errors.
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

# Every file a user or the desktop looks for, also in the package.
installed=(bin/clinora bin/clinora-cli bin/clinora-sim
           share/clinora/prompts/CalPrompts.csv share/clinora/prompts/CalPrompts90.csv
           share/clinora/sounds/Alarm1.wav share/clinora/sounds/Voicbeep.wav
           share/applications/clinora.desktop share/icons/hicolor/scalable/apps/clinora.svg
           share/metainfo/com.zovinstruments.clinora.metainfo.xml
           share/man/man1/clinora.1.gz share/man/man1/clinora-cli.1.gz share/man/man1/clinora-sim.1.gz
           share/doc/clinora/README.md share/doc/clinora/copyright
           lib/udev/rules.d/70-clinora.rules)
for file in "${installed[@]}"; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
grep -qx 'Exec=clinora' "$prefix/share/applications/clinora.desktop" || fail "desktop entry"
for tool in desktop-file-validate appstreamcli lintian dpkg-deb; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
desktop-file-validate "$prefix/share/applications/clinora.desktop" || fail "desktop entry not valid"
appstreamcli validate --no-net --pedantic \
    "$prefix/share/metainfo/com.zovinstruments.clinora.metainfo.xml" >"$tmp/appstream.log" 2>&1 ||
    { cat "$tmp/appstream.log" >&2; fail "metainfo not valid"; }
zcat "$prefix/share/man/man1/clinora-cli.1.gz" | grep -q 'upload' || fail "clinora-cli manual page"

# The Debian package, as cpack -G DEB builds it in the build folder.
"$(dirname "$cmake_command")/cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/deb" \
    >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB"; }
deb="$(ls "$tmp"/deb/clinora_*.deb)"
dpkg-deb --contents "$deb" >"$tmp/contents"
for file in "${installed[@]}"; do
    grep -q " \./usr/$file\$" "$tmp/contents" || fail "not in the package: /usr/$file"
done
depends="$(dpkg-deb --field "$deb" Depends)"
echo "$depends" | grep -q 'libqt6widgets6' || fail "package depends: $depends"
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" >"$tmp/lintian.log" 2>&1 ||
    { cat "$tmp/lintian.log" >&2; fail "lintian found errors in the package"; }

for program in clinora clinora-cli clinora-sim; do
    said="$("$prefix/bin/$program" --version)" || fail "$program --version: status $?"
    [ "$said" = "$program (Clinora Host) $version" ] || fail "$program --version said: $said"
    # grep reads the whole help: with -q it could leave before the program has
    # written all of it, and the program's SIGPIPE would fail the pipeline.
    "$prefix/bin/$program" --help | grep -i 'usage' >/dev/null || fail "$program --help"
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
