#!/usr/bin/env bash
# check-package.sh [BUILD_DIR]: builds the Debian package of a build folder with CPack and checks
# it: file name, contents, dependencies, and no errors from lintian.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
fail=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}

out=$(mktemp -d "${TMPDIR:-/tmp}/brv-package.XXXXXX")
trap 'rm -rf "$out"' EXIT
version=$(sed -n 's/^set(BRV_VERSION_TEXT "\(.*\)")$/\1/p' "$here/CMakeLists.txt")
arch=$(dpkg --print-architecture)
deb=$out/brimvale_${version}_${arch}.deb

if ! (cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1); then
  cat "$out/cpack.log"
  echo "FAILED: cpack"
  exit 1
fi
check "package named brimvale_<version>_<arch>.deb" test -f "$deb"
[ -f "$deb" ] || exit 1

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/brimvale ./usr/share/applications/com.brimvale.client.desktop \
    ./usr/share/metainfo/com.brimvale.client.metainfo.xml \
    ./usr/share/icons/hicolor/48x48/apps/brimvale.png \
    ./usr/share/icons/hicolor/256x256/apps/brimvale.png \
    ./usr/share/doc/brimvale/copyright ./usr/share/doc/brimvale/changelog.gz \
    ./usr/share/man/man1/brimvale.1.gz; do
  check "contains $path" grep -qxF "$path" <<<"$contents"
done
check "no test programs or build files" bash -c '! grep -qE "tst_|CMake|\.a$" <<<"$1"' _ "$contents"
dpkg-deb -x "$deb" "$out/root"
runpath=$(readelf -d "$out/root/usr/bin/brimvale" | grep RUNPATH)
check "run path finds the private folder" grep -qE '\[\$ORIGIN/\.\./lib/([^/]+/)?brimvale\]' <<<"$runpath"

depends=$(dpkg-deb -f "$deb" Depends)
suggests=$(dpkg-deb -f "$deb" Suggests)
# Computed from the binaries, and the runtime packages the binaries do not name.
for p in libqt5webenginewidgets5 libqt5widgets5 libc6 fonts-noto-cjk pci.ids \
    gstreamer1.0-plugins-good libqt5multimedia5-plugins; do
  check "depends on $p" grep -qE "(^|, )$p( |,|$)" <<<"$depends"
done
for p in prosody janus; do
  check "suggests $p, does not depend on it" bash -c \
    'grep -qE "(^|, )$1(,|$)" <<<"$2" && ! grep -qE "(^|, )$1( |,|$)" <<<"$3"' _ "$p" "$suggests" "$depends"
done

lintian --tag-display-limit 0 --fail-on error "$deb" >"$out/lintian.log" 2>&1
status=$?
grep -v "^running with root privileges" "$out/lintian.log"
check "lintian reports no errors" test "$status" -eq 0
exit $fail
