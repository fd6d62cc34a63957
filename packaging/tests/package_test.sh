#!/usr/bin/env bash
# Builds the Debian package of a build folder, unpacks it into a temporary
# root, checks what it holds, builds a C client against the unpacked
# library through pkg-config, and runs that client against the packaged vekd.
#   package_test.sh BUILD_DIR CLIENT_SOURCE
set -euo pipefail
build=$1
client=$2
work=$(mktemp -d)
vekd_pid=
cleanup() {
    if [ -n "$vekd_pid" ]; then kill "$vekd_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" > cpack.log) || {
    cat "$work/cpack.log"
    exit 1
}
deb=$(ls "$work"/*.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"

for path in usr/bin/vekd usr/bin/snapwell usr/bin/vekrec usr/bin/vekwatch usr/bin/vektake \
            usr/include/veksock/veksock.h usr/include/veksock/vek_types.h usr/share/man/man1/vekd.1 \
            usr/share/man/man1/snapwell.1 usr/share/man/man1/vektake.1; do
    [ -e "$root/$path" ] || { echo "missing in the package: $path"; exit 1; }
done
if [ -e "$root/usr/bin/vistra" ]; then
    for path in usr/share/applications/vistra.desktop usr/share/icons/hicolor/scalable/apps/vistra.svg \
                usr/share/man/man1/vistra.1; do
        [ -e "$root/$path" ] || { echo "missing in the package: $path"; exit 1; }
    done
fi
if [ -e "$root/usr/bin/vekdds" ]; then
    [ -e "$root/usr/share/man/man1/vekdds.1" ] || { echo "missing in the package: usr/share/man/man1/vekdds.1"; exit 1; }
    # It runs on Debian's Cyclone DDS library, which the package depends on.
    dpkg-deb -f "$deb" Depends | grep -q libddsc || { echo "the package does not depend on Cyclone DDS"; exit 1; }
    LD_BIND_NOW=1 "$root/usr/bin/vekdds" -h > /dev/null || { echo "the packaged vekdds does not run"; exit 1; }
fi
# Every man page is well formed.
for page in $(command -v man >/dev/null && ls "$root"/usr/share/man/man1/*.1); do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || { echo "$page: $warnings"; exit 1; }
done

# The packaged take tool runs.
"$root/usr/bin/vektake" -h | grep -q "^usage: vektake info FILE" || { echo "the packaged vektake does not run"; exit 1; }

# The unpacked veksock.pc first; what it requires (libsodium) from the system.
pc_dir=$(dirname "$(find "$root" -name veksock.pc)")
flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs veksock)
cc -Wall -Werror -o "$work/client" "$client" $flags

# The packaged vekd with a lab key it made; the clients find the key
# through VEK_KEY_FILE.
"$root/usr/bin/vekd" --make-key "$work/lab.key" > /dev/null
export VEK_KEY_FILE=$work/lab.key
"$root/usr/bin/vekd" --port 0 --discovery-port -1 --key-file "$work/lab.key" > "$work/vekd.log" 2>&1 &
vekd_pid=$!
for _ in $(seq 50); do
    port=$(sed -n 's/.* on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/vekd.log")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the packaged vekd did not start"; cat "$work/vekd.log"; exit 1; }
"$work/client" "127.0.0.1:$port"

# The Python module, when built: Debian's python3 imports it from the
# package's path and reads a frame from the packaged vekd.
site=$root/usr/lib/python3/dist-packages
if compgen -G "$site/veksock.*.so" > /dev/null; then
    [ -e "$site/veksock.pyi" ] || { echo "missing in the package: the module's veksock.pyi"; exit 1; }
    dpkg-deb -f "$deb" Depends | grep -q python3-numpy || { echo "the package does not depend on python3-numpy"; exit 1; }
    PYTHONPATH=$site /usr/bin/python3 -c '
import sys, veksock
with veksock.connect(sys.argv[1]) as session:
    session.point_tracker(range(6))
    frame = next(session.frames())
    assert len(frame.markers) == 6 and len(frame.cameras) == 8, frame
    print("python:", frame)' "127.0.0.1:$port"
fi
