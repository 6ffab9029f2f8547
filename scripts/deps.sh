#!/usr/bin/env bash
# Installs the Debian packages that Linvar needs and that are missing; does nothing (quickly)
# when everything is there. Usage: scripts/deps.sh [run|package|test|all]
set -euo pipefail

what=${1:-all}
# qt6-translations-l10n: Qt's own Russian texts (file dialogs, standard buttons), read at run time.
packages=(g++ cmake make pkg-config qt6-base-dev fonts-dejavu-core nlohmann-json3-dev libcli11-dev
    qt6-translations-l10n)
# The Debian package: manual pages (scdoc), dpkg-shlibdeps (dpkg-dev, file) for CPack.
package_tools=(scdoc dpkg-dev file)
case $what in
run) ;;
package) packages+=("${package_tools[@]}") ;;
test | all)
    # The package's checks: lintian, the desktop and AppStream validators, man, rsvg-convert.
    packages+=("${package_tools[@]}" lintian desktop-file-utils appstream man-db librsvg2-bin)
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev)
    # The operator suite: its own X server and window manager, XTest input, and the
    # Russian locale the program is run in (a comma as the decimal mark).
    packages+=(xvfb openbox libx11-dev libxtst-dev locales)
    # A network serial server for the remote-port tests, started by the tests themselves.
    packages+=(ser2net)
    # The Windows build (mingw-w64 with POSIX threads, GoogleTest from source) and Wine to run it.
    packages+=(g++-mingw-w64-x86-64-posix googletest wine64 wine)
    ;;
*)
    echo "usage: $0 [run|package|test|all]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$p")
done

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing missing packages: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [[ $what != run && $what != package ]] &&
    ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
    echo "Generating the locale ru_RU.UTF-8" >&2
    $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
