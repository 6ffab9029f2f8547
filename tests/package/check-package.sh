#!/usr/bin/env bash
# Builds the Debian package as scripts/package.sh builds it for a user (the programs alone,
# with Debian's flags, in build/package; LINVAR_BUILD_DIR=build/default packages the default
# build instead, with no second compile) and checks it as a user's machine would meet it:
#   - lintian reports no errors (warnings are shown);
#   - the desktop entry and the AppStream metainfo validate, and the SVG icon matches the
#     icon the program draws;
#   - the package, unpacked into a temporary root, has its layout: relative links from
#     /usr/bin and to the conffiles, which the control file lists; dpkg installs it over a
#     settings file that a program made empty, without a question;
#   - the unpacked linvar-cli scans and reads the demo bus of the unpacked linvar-sim, with
#     the catalogue found through the links;
#   - man renders every manual page without a warning.
set -euo pipefail
# The package is made where scripts/package.sh makes it, which the icon check needs too.
# shellcheck source=scripts/package-build.bash
source "$(dirname "$0")/../../scripts/package-build.bash"

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "check-package: FAILED: $what" >&2
        failed=$((failed + 1))
    fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/linvar-package.XXXXXX")
source scripts/simulator.bash
cleanup() {
    stop_simulator
    rm -rf "$work"
}
trap cleanup EXIT

start=$SECONDS
if ! scripts/package.sh >"$work/package.log" 2>&1; then
    cat "$work/package.log" >&2
    echo "check-package: FAILED: the package was not made" >&2
    exit 1
fi
deb=$(tail -n 1 "$work/package.log")
echo "package: $deb, $(du -k "$deb" | cut -f1) KiB, made in $((SECONDS - start)) s"

# lintian's own exit status fails on errors only.
check "lintian reports errors" lintian --display-info "$deb"

tree=$work/root
dpkg-deb -x "$deb" "$tree"
app_id=org.example.linvar
check "desktop entry" desktop-file-validate "$tree/usr/share/applications/$app_id.desktop"
check "AppStream metainfo" \
    appstreamcli validate --no-net "$tree/usr/share/metainfo/$app_id.metainfo.xml"

icons_match() {
    rsvg-convert -w 64 -h 64 "$tree/usr/share/icons/hicolor/scalable/apps/linvar.svg" \
        -o "$work/svg-64.png" &&
        QT_QPA_PLATFORM=offscreen "$build/packaging/linvar_render_icons" \
            --compare "$work/svg-64.png" 2>/dev/null
}
check "the SVG icon differs from the program's icon" icons_match

# A link of the package: relative, and leading to `target` inside the unpacked tree.
relative_link() {
    local link=$tree/$1 target=$tree/$2
    [[ -L $link && $(readlink "$link") != /* && $(readlink -f "$link") == "$target" ]] || {
        echo "$1 -> $(readlink "$link" || true) is no relative link to $2" >&2
        return 1
    }
}
for program in linvar linvar-cli linvar-sim; do
    check "link to $program" relative_link usr/bin/$program usr/lib/linvar/$program
done
check "link to the catalogue" relative_link usr/lib/linvar/params.cfg etc/linvar/params.cfg

conffiles_listed() {
    diff <(dpkg-deb -I "$deb" conffiles | sort) \
        <(cd "$tree" && find etc -type f | sed 's|^|/|' | sort)
}
check "every file under /etc is a conffile" conffiles_listed

# dpkg installs the package into a root of its own (its scripts told where by DPKG_ROOT) over
# a settings file that a program created empty before the package came: the install must go
# through without a question, and the packaged file takes the empty one's place.
installs_over_empty_settings() {
    local target=$work/installed
    mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates" "$target/etc/linvar"
    : >"$target/var/lib/dpkg/status"
    : >"$target/etc/linvar/rs485.conf"
    dpkg --root="$target" --force-script-chrootless --force-depends --force-not-root \
        -i "$deb" </dev/null >"$work/dpkg.log" 2>&1 || {
        cat "$work/dpkg.log" >&2
        return 1
    }
    cmp "$target/etc/linvar/rs485.conf" "$tree/etc/linvar/rs485.conf"
}
check "dpkg installs over an empty settings file" installs_over_empty_settings

# The programs from the unpacked tree: the simulator on its demo bus behind port 1.
sim_ready=0
start_simulator "$tree/usr/bin/linvar-sim" "$tree/usr/share/linvar/demo.conf" "$work/bus" \
    "$work/sim.out" && sim_ready=1
printf 'COM1=%s\n' "$work/bus" >"$work/rs485.conf"
cli() { LINVAR_SETTINGS=$work/rs485.conf "$tree/usr/bin/linvar-cli" --quiet "$@"; }

demo_bus_found() {
    [[ $sim_ready -eq 1 ]] || return 1
    cli scan --port 1 --last 90 >"$work/scan.out" 2>"$work/scan.err" || return 1
    cat "$work/scan.out"
    # A catalogue that is not found is only a warning to a scan: there must be none.
    [[ ! -s $work/scan.err ]] || { cat "$work/scan.err" >&2; return 1; }
    [[ $(awk 'NR > 1 {print $1}' "$work/scan.out" | xargs) == "5 12 33 90" ]]
}
check "linvar-cli scans the demo bus" demo_bus_found

# Reading needs the catalogue's parameters of device 12 (type 9, 2.05).
catalogue_found() {
    cli read --port 1 --address 12 >"$work/read.out" 2>&1 || {
        cat "$work/read.out" >&2
        return 1
    }
    grep -q 'Задержка ответа, мс' "$work/read.out"
}
check "linvar-cli reads device 12 with the packaged catalogue" catalogue_found

man_pages=("$tree"/usr/share/man/man*/*)
renders_cleanly() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" \
        2>&1 >/dev/null)
    [[ -z $warnings ]] || { echo "$warnings" >&2; return 1; }
}
check "four manual pages" test ${#man_pages[@]} -eq 4
for page in "${man_pages[@]}"; do
    check "man renders ${page#"$tree"} with warnings" renders_cleanly "$page"
done

echo "package checks: $passed passed, $failed failed ($((SECONDS - start)) s)"
[[ $failed -eq 0 ]]
