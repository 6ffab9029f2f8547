#!/usr/bin/env bash
# Builds the Debian package out/linvar_<version>_<arch>.deb (CPack, packaging/) and, with
# --install, installs it with apt, which brings in what it depends on.
#   scripts/package.sh            # the programs alone, with Debian's flags, in
#                                 # build/package, then the package from them
#   scripts/package.sh --install  # the same, then install it (sudo when not root)
#   LINVAR_BUILD_DIR=build/default scripts/package.sh
#                                 # package a build that exists instead, as the tests do
# Prints the package's path as its last line.
set -euo pipefail
# shellcheck source=scripts/package-build.bash
source "$(dirname "$0")/package-build.bash"

install=0
case ${1:-} in
"") ;;
--install) install=1 ;;
*)
    echo "usage: $0 [--install]" >&2
    exit 2
    ;;
esac

scripts/deps.sh package

# The package's dates are the last commit's, so the same sources give the same package.
if [[ -z ${SOURCE_DATE_EPOCH:-} ]] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH=$epoch
fi

if [[ -z ${LINVAR_BUILD_DIR:-} ]]; then
    # Every option that decides what is built is given, so an old cache cannot change it.
    # The compiler and linker flags are Debian's own (optimised, hardened); the build type
    # adds none of its own.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="$cxxflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" -DLINVAR_GUI=ON \
        -DLINVAR_TESTS=OFF -DLINVAR_BENCH=OFF -DLINVAR_FUZZ=OFF -DLINVAR_SANITIZE= \
        "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j"$(nproc)"

# CPack installs what the install rules name into a staging folder and packs that alone, so
# nothing else of the build folder gets into the package.
staging=$build/cpack
rm -rf "$staging"
if ! cpack --config "$build/CPackConfig.cmake" -B "$staging" >"$build/cpack.log" 2>&1; then
    cat "$build/cpack.log" >&2
    echo "package: CPack failed" >&2
    exit 1
fi
debs=("$staging"/linvar_*.deb)
mkdir -p out
deb=$root/out/$(basename "${debs[0]}")
mv "${debs[0]}" "$deb"

if [[ $install -eq 1 ]]; then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    # A settings file or catalogue edited before the package came is kept, without a question.
    $sudo apt-get install -y -o Dpkg::Options::=--force-confdef \
        -o Dpkg::Options::=--force-confold "$deb"
fi
echo "$deb"
