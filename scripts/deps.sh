#!/usr/bin/env bash
# Installs the Debian packages that Linvar needs and that are missing; does nothing (quickly)
# when everything is there. Usage: scripts/deps.sh [run|test|all]
set -euo pipefail

what=${1:-all}
packages=(g++ cmake make pkg-config qt6-base-dev fonts-dejavu-core)
case $what in
run) ;;
test | all) packages+=(libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev) ;;
*)
    echo "usage: $0 [run|test|all]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
