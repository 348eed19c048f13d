#!/usr/bin/env bash
# Installs what is missing, builds, then starts the program or runs every test.
#   ./make.sh run    build and start Podium Watch (on a virtual display when there is none)
#   ./make.sh test   build with warnings as errors and run every test
#   ./make.sh asan   the same under the address and undefined-behaviour sanitizers
#   ./make.sh fuzz   fuzz the text routines, the programme readers, the server's framing and the channel
#                    to it, each for FUZZ_SECONDS (30) seconds
#   ./make.sh package  build the Debian package (build/dev/podiumwatch_*.deb)
set -euo pipefail
cd "$(dirname "$0")"

BUILD_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev qt6-websockets-dev
    libqrencode-dev liblo-dev libavahi-client-dev qt6-translations-l10n fonts-ipafont-gothic fonts-dejavu-core)
RUN_PACKAGES=(xvfb xauth)
FUZZ_PACKAGES=(clang libclang-rt-14-dev node-llhttp)
TEST_PACKAGES=(xvfb xauth xdotool imagemagick pulseaudio pulseaudio-utils sox dbus-daemon libbenchmark-dev
    desktop-file-utils appstream chromium avahi-daemon)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# The Companion module's packages (companion/node_modules, from its lock file), for its tests. npm
# may come with the machine's nodejs (NodeSource's does), where Debian's npm package would clash.
# Where the registry cannot be reached (or its certificate not checked) the rest of the suite still
# runs, and the module's test says it was skipped and why.
companion_packages() {
    command -v npm >/dev/null || install_missing nodejs npm
    if ! (cd companion && npm ci --no-audit --no-fund); then
        rm -rf companion/node_modules # half a tree would fail the tests rather than skip them
        echo "make.sh: the Companion module's packages could not be installed (npm ci failed); its tests will be skipped" >&2
    fi
}

# Each preset builds in a folder of its own (build/dev, build/ci, ...), so switching between
# running and testing rebuilds nothing. Targets after the preset build only those.
build() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)" ${1:+--target} "$@"
}

case "${1:-}" in
run)
    install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
    # What the program needs to run, and not the tests and benchmarks: its sound process, the
    # remote view's server and the pictures and sounds in DATA.
    build dev podiumwatch podiumwatch-sound podiumwatch-remote podiumwatch_data
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found: starting Podium Watch on a virtual display (Xvfb)."
        exec xvfb-run -a -s "-screen 0 1920x1080x24" build/dev/podiumwatch
    fi
    exec build/dev/podiumwatch
    ;;
test)
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    companion_packages
    build ci
    ctest --preset ci -j "$(nproc)"
    ;;
asan)
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    companion_packages
    build asan
    ctest --preset asan -j "$(nproc)"
    ;;
fuzz)
    install_missing "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
    build fuzz
    # Each target from its own seeds, for FUZZ_SECONDS each; what one finds is kept as
    # build/fuzz/fuzz_NAME-crash-*. The HTTP head may reach past 16 KiB, so that the limit itself is
    # fuzzed; the differential target against llhttp shares its seeds but not their longest inputs.
    for target in textroutines:fuzz-seeds:64 programme:fuzz-seeds-programme:4096 \
        httphead:fuzz-seeds-httphead:20000 httpdiff:fuzz-seeds-httphead:4096 wsframes:fuzz-seeds-wsframes:1024 \
        channel:fuzz-seeds-channel:9000 osc:fuzz-seeds-osc:4100 dnssdtxt:fuzz-seeds-dnssd:4096 \
        overview:fuzz-seeds-overview:70000; do
        IFS=: read -r name seeds length <<<"$target"
        corpus=$(mktemp -d)
        cp "tests/$seeds"/* "$corpus"
        build/fuzz/tests/fuzz_"$name" -max_len="$length" -max_total_time="${FUZZ_SECONDS:-30}" \
            -artifact_prefix=build/fuzz/fuzz_"$name"- "$corpus"
        rm -rf "$corpus"
    done
    ;;
package)
    install_missing "${BUILD_PACKAGES[@]}"
    build dev
    (cd build/dev && cpack)
    ;;
*)
    echo "usage: $0 run|test|asan|fuzz|package" >&2
    exit 2
    ;;
esac
