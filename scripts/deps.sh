#!/usr/bin/env bash
# Installs the Debian packages the project builds with, when any is missing.
set -euo pipefail
# Records: SQLite, libpq and libcrypto to build; the sqlite3 shell and a
# PostgreSQL server (started throw-away by scripts/pg_temp.sh) for the tests.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libserialport-dev
          libgtest-dev libgmock-dev libeigen3-dev qt6-charts-dev libqt6opengl6-dev
          clang libclang-rt-dev libxml2-dev libxml2-utils libssl-dev poppler-utils
          fonts-dejavu-core help2man desktop-file-utils appstream lintian dpkg-dev file
          libsqlite3-dev sqlite3 libpq-dev postgresql util-linux)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
