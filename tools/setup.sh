#!/usr/bin/env bash
# Sets Tessaro up on Debian 12: installs the packages it needs, obtains the core MIB modules
# for the default database, builds, and then starts the program or runs every test.
#
#   tools/setup.sh run    release build in build/, then start build/bin/Tessaro
#   tools/setup.sh test   AddressSanitizer + UBSan build in build-asan/ (warnings are errors),
#                         then the whole test suite
#   tools/setup.sh deps   only install the packages and the core MIB modules
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-run}

packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev libqt5sql5-sqlite libsqlite3-dev sqlite3
    libsnmp-dev libsnmp-base snmp snmpd
    libssl-dev openssl libqwt-qt5-dev libquazip1-qt5-dev
    librsvg2-bin python3 python3-aiosmtpd xvfb imagemagick
    clang libclang-rt-14-dev
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_deps() {
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${packages[@]}"
    # npm only serves to unpack the core MIB modules, without which the configure step stops.
    if ! command -v npm >/dev/null 2>&1; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y npm \
            || echo "setup: warning: npm could not be installed; the core MIB modules cannot be fetched" >&2
    fi
    "$repo/tools/fetch-core-mibs.sh"
}

build() {
    local dir=$1
    shift
    cmake -S "$repo" -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}

case "$mode" in
deps)
    install_deps
    ;;
run)
    install_deps
    build "$repo/build" -DCMAKE_BUILD_TYPE=Release -DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCH=OFF
    exec "$repo/build/bin/Tessaro"
    ;;
test)
    install_deps
    build "$repo/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARO_SANITIZE=ON -DTESSARO_WERROR=ON \
        -DTESSARO_BUILD_BENCH=OFF
    ctest --test-dir "$repo/build-asan" --output-on-failure --parallel 2 --timeout 900
    ;;
*)
    echo "usage: $0 run|test|deps" >&2
    exit 2
    ;;
esac
