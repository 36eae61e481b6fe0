#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need and this machine lacks.
# Usage: install-deps.sh [PACKAGE...]: only those of the list named (what must come first), and
# none of the locales.
set -euo pipefail

packages=(
    cmake make g++ googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 mingw-w64-tools
    nlohmann-json3-dev python3
    wine64 xvfb imagemagick nsis zip unzip
    fonts-dejavu-core locales
    qemu-system-x86 debootstrap e2fsprogs
    osslsigncode openssl
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if (($# > 0)); then
    for package in "$@"; do
        [[ " ${packages[*]} " == *" $package "* ]] ||
            { echo "install-deps: $package is not one of the project's packages" >&2; exit 2; }
    done
    packages=("$@")
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
# npm fetches the pinned Inno Setup compiler (scripts/inno-compiler.sh) and nothing else; a
# machine with Node.js from elsewhere has its own npm, which Debian's package would conflict with.
(($# > 0)) || command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]} > 0)); then
    echo "installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

(($# == 0)) || exit 0
# Wine takes the ANSI code page from the locale: the Wine tests run under 1251, 932 and, with a
# locale that has no ANSI code page of its own, UTF-8 (65001).
for locale in ru_RU.UTF-8 ja_JP.UTF-8 hi_IN.UTF-8; do
    [ "$(LC_ALL=$locale locale charmap 2>/dev/null)" = UTF-8 ] ||
        "${sudo_cmd[@]}" localedef -i "${locale%.*}" -f UTF-8 "$locale"
done
