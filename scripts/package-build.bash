# shellcheck shell=bash
# The folder the Debian package is made from, for scripts/package.sh and the package check:
# LINVAR_BUILD_DIR (a build that exists, given relative to where the script was called from),
# or build/package. Sourced before anything changes the folder; sets `root` (the source tree,
# which becomes the current folder) and `build`.
if [[ -n ${LINVAR_BUILD_DIR:-} ]]; then
    LINVAR_BUILD_DIR=$(realpath "$LINVAR_BUILD_DIR")
    export LINVAR_BUILD_DIR
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit
# shellcheck disable=SC2034 # read by the scripts that source this one
build=${LINVAR_BUILD_DIR:-$root/build/package}
