#!/usr/bin/env bash
# Checks the Debian package that CPack makes of a build folder (default build/): its files,
# lintian (no error or warning that packaging/lintian-overrides does not explain), the systemd
# unit (systemd-analyze verify, and its exposure score), and the package's own tree, extracted,
# scoring the sample and serving the exam room against a fresh program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
server=""
cleanup() {
  [[ -z "$server" ]] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/keyin_*.deb)
echo "package: $(basename "$deb")"

echo "== files"
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/keyin-scorer ./usr/bin/keyin-tool ./usr/bin/keyin-server \
  ./usr/lib/keyin/keyin-store-postgres.so \
  ./usr/share/keyin/web/index.html ./usr/share/keyin/web/proctor/board.html \
  ./lib/systemd/system/keyin-server.service ./etc/keyin/keyin-server.conf \
  ./usr/share/doc/keyin/copyright ./usr/share/doc/keyin/changelog.Debian.gz; do
  grep -qx -- "$path" <<<"$listing" || { echo "missing from the package: $path"; exit 1; }
done
dpkg-deb -I "$deb" conffiles | grep -qx /etc/keyin/keyin-server.conf

echo "== lintian"
lintian --fail-on error,warning "$deb"

echo "== the unit"
dpkg-deb -x "$deb" "$work/tree"
tree="$work/tree"
# The unit names the installed executable; verify it against the extracted one.
sed "s|/usr/bin/keyin-server|$tree/usr/bin/keyin-server|" "$tree/lib/systemd/system/keyin-server.service" \
  >"$work/keyin-server.service"
systemd-analyze verify "$work/keyin-server.service"
systemd-analyze security --offline=true --threshold=20 "$work/keyin-server.service" | tail -1

echo "== the package's tree scores the sample and serves the room"
export KEYIN_HOME="$work/home"
mkdir -p "$KEYIN_HOME/scores"
"$tree/usr/bin/keyin-tool" init-db >/dev/null
"$tree/usr/bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$KEYIN_HOME/lib/P001.LIB" >/dev/null
{ printf '\xff\xfe'; sed 's/$/\r/' "$root/samples/typed-test1.txt" | iconv -f UTF-8 -t UTF-16LE; } \
  >"$KEYIN_HOME/scores/CTEST-1"
"$tree/usr/bin/keyin-scorer" \
  "A01,E01,P001,,3,S123456789,王小明,3,15,1,600,300,0,$KEYIN_HOME/lib/,$KEYIN_HOME/scores/,甲班"
test -s "$KEYIN_HOME/scores/CTEST-1.TOT"
# The store module is found where the package puts it: a server that is not there is what fails.
if failure=$(KEYIN_DATABASE_URL="postgresql://keyin@127.0.0.1:1/keyin?connect_timeout=2" \
  "$tree/usr/bin/keyin-tool" init-db 2>&1); then
  echo "init-db on a server that is not there succeeded"; exit 1
fi
if grep -q "cannot be loaded" <<<"$failure"; then echo "$failure"; exit 1; fi
KEYIN_PROCTOR_PASSWORD=check-package "$tree/usr/bin/keyin-server" --listen 127.0.0.1:0 \
  >"$work/server.out" 2>"$work/server.err" &
server=$!
for _ in $(seq 1 100); do grep -q "http://127.0.0.1:" "$work/server.out" && break; sleep 0.1; done
address=$(grep -o "http://127.0.0.1:[0-9]*/" "$work/server.out" | head -1)
python3 - "$address" <<'PY'
import sys, urllib.request
base = sys.argv[1]
for path, expected in (("readyz", b"ready\n"), ("", b"<!doctype html>")):
    with urllib.request.urlopen(base + path, timeout=10) as answer:
        body = answer.read()
        assert body.startswith(expected), (path, body[:60])
PY
echo "the package checks out"
