#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts what was installed:
# the layout is complete, the desktop files validate, the client finds its
# guide, the server starts on its own data and the dump runs.
#   installed-run.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$prefix"
}
trap cleanup EXIT
fail() { echo "installed-run: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix/usr" >/dev/null

id=example.palindor.Palindor
for f in bin/palindor bin/zorvic-localnet bin/zorvic-dump \
         share/doc/palindor/guide.pdf share/doc/palindor/copyright \
         share/doc/palindor/changelog.Debian.gz share/doc/zorvic-localnet/copyright \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg \
         share/man/man1/palindor.1.gz share/man/man1/zorvic-dump.1.gz \
         share/man/man8/zorvic-localnet.8.gz lib/systemd/system/zorvic-localnet.service; do
  [ -s "$prefix/usr/$f" ] || fail "missing $f"
done
[ -s "$prefix/usr/etc/default/zorvic-localnet" ] || fail "missing etc/default/zorvic-localnet"
# Nothing lands outside the prefix.
! grep -qv "^$prefix/usr/" "$build/install_manifest.txt" ||
  fail "installed outside the prefix: $(grep -v "^$prefix/usr/" "$build/install_manifest.txt" | head -3)"
for size in 16 22 24 32 48 64 128 256; do
  png="$prefix/usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -s "$png" ] || fail "missing ${size}px icon"
  # The PNG header carries width and height at bytes 16..23.
  dims=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
  [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "${size}px icon is $dims"
done
# The entry, its icon and the name the program gives the desktop agree.
grep -qx "Icon=$id" "$prefix/usr/share/applications/$id.desktop" || fail "desktop entry icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "$prefix/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo launchable"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/usr/share/applications/$id.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --no-color "$prefix/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "metainfo does not validate"
fi
grep -q "^ExecStart=/.*/bin/zorvic-localnet --data /var/lib/zorvic-localnet " \
  "$prefix/usr/lib/systemd/system/zorvic-localnet.service" || fail "unit runs another program"

export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 XDG_RUNTIME_DIR="$prefix/run"
mkdir -m 700 "$prefix/run"
paths=$(HOME="$prefix/home" "$prefix/usr/bin/palindor" --profile "$prefix/profile" --paths) ||
  fail "client: $paths"
[ "$paths" = "data directory: $prefix/profile
guide: $prefix/usr/share/doc/palindor/guide.pdf" ] || fail "client paths: $paths"
[ -d "$prefix/profile" ] || fail "profile folder not made"
"$prefix/usr/bin/palindor" --version | grep -q "^Palindor [0-9]" || fail "client version"
"$prefix/usr/bin/zorvic-localnet" --version | grep -q "^zorvic-localnet [0-9]" || fail "server version"
"$prefix/usr/bin/zorvic-dump" --help | grep -q "^usage: zorvic-dump" || fail "dump"

# The server starts on a data folder of its own (its database driver is
# found) and listens.
log="$prefix/server.log"
"$prefix/usr/bin/zorvic-localnet" --data "$prefix/state" --ports 0,0,0 --seed demo >"$log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q "listening on" "$log" && break
  kill -0 "$server_pid" 2>/dev/null || fail "server ended: $(cat "$log")"
  sleep 0.1
done
grep -q "listening on" "$log" || fail "server did not listen: $(cat "$log")"
ls "$prefix/state" | grep -q . || fail "server wrote no state"
echo "installed-run: ok"
