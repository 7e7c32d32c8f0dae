#!/bin/sh
# Brings the core SMI and IETF MIB modules (SNMPv2-SMI, SNMPv2-MIB, IF-MIB, ...) that
# Debian's snmp packages leave out, by unpacking them from the net-snmp npm package.
# They are only an input to the default MIB.db, never committed. Without npm, or when the
# package cannot be had, this only warns; the configure step then stops unless it is given
# -DTESSARO_ALLOW_EMPTY_MIBDB=ON.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-"$repo/.deps/core-mibs"}

if [ -f "$dest/SNMPv2-SMI.mib" ]; then
    exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
    echo "fetch-core-mibs: warning: npm not found; the default MIB database will lack the core modules" >&2
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

if ! (cd "$work" && npm pack --silent net-snmp@3 >pack.out 2>pack.err); then
    echo "fetch-core-mibs: warning: 'npm pack net-snmp@3' failed; the default MIB database will lack the core modules" >&2
    sed 's/^/  /' "$work/pack.err" >&2 || true
    exit 0
fi

tarball=$(tail -n 1 "$work/pack.out")
if [ ! -f "$work/$tarball" ] || ! tar -xzf "$work/$tarball" -C "$work" package/lib/mibs 2>/dev/null; then
    echo "fetch-core-mibs: warning: the net-snmp package holds no lib/mibs folder" >&2
    exit 0
fi

if [ ! -f "$work/package/lib/mibs/SNMPv2-SMI.mib" ]; then
    echo "fetch-core-mibs: warning: the net-snmp package holds no SNMPv2-SMI module" >&2
    exit 0
fi

# SNMPv2-SMI.mib marks a finished run, so it arrives last and in one step: an interrupted
# run is simply repeated. The hidden temporary name keeps it out of the builder's sight.
mkdir -p "$dest"
find "$work/package/lib/mibs" -maxdepth 1 -type f ! -name 'SNMPv2-SMI.mib' -exec cp {} "$dest/" \;
cp "$work/package/lib/mibs/SNMPv2-SMI.mib" "$dest/.SNMPv2-SMI.mib.partial"
mv "$dest/.SNMPv2-SMI.mib.partial" "$dest/SNMPv2-SMI.mib"
echo "fetch-core-mibs: $(ls "$dest" | wc -l) modules in $dest"
