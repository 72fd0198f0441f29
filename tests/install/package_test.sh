#!/usr/bin/env bash
# The Debian package as a user gets it, in steps that share one unpacked tree:
#   build BUILD_DIR DIR     cpack into DIR, unpack into DIR/root
#   lintian DIR             no error or warning from lintian
#   runs DIR VERSION LIBDIR the unpacked programs run on their own library,
#                           which lies in usr/LIBDIR
#   validate DIR VERSION    desktop entry and metainfo pass the validators
#   runpath FOLDER...       the ELF files in the FOLDERs search no library
#                           where the current folder could answer
# Exit status 77 (skipped) when a tool that a step needs is missing.
set -uo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
need() {
  for tool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
  done
}

# Every RUNPATH (or RPATH) entry of the ELF files given is an existing folder,
# named absolutely or from $ORIGIN: the loader reads an empty or relative
# entry from the current folder, where anyone may plant a library.
check_runpaths() {
  local file path entry entries
  for file; do
    [ "$(head -c4 "$file" 2>/dev/null)" = $'\x7fELF' ] || continue
    path=$(readelf -d "$file" | sed -n 's/.*Library r\(un\)\{0,1\}path: \[\(.*\)\]$/\2/p')
    [ -n "$path" ] || continue
    case ":$path:" in *::*) fail "$file: empty RUNPATH entry in '$path'" ;; esac
    IFS=: read -ra entries <<<"$path"
    for entry in "${entries[@]}"; do
      case $entry in
        /* | '$ORIGIN'* | '${ORIGIN}'*) ;;
        *) fail "$file: relative RUNPATH entry '$entry'" ;;
      esac
      entry=${entry/#'${ORIGIN}'/$(dirname "$file")}
      entry=${entry/#'$ORIGIN'/$(dirname "$file")}
      [ -d "$entry" ] || fail "$file: RUNPATH entry $entry is no folder"
    done
  done
}

step=$1 dir=$2
root=$dir/root
app=org.tovrik.Tovrik

case $step in
build)
  need cpack dpkg-deb dpkg-shlibdeps
  build=$3
  rm -rf "$dir" && mkdir -p "$dir" || exit 1
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$dir" >"$dir/cpack.log" 2>&1 \
    || { cat "$dir/cpack.log" >&2; fail "cpack"; }
  debs=("$dir"/*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one package in $dir: ${debs[*]}"
  dpkg-deb -x "${debs[0]}" "$root" || fail "dpkg-deb -x ${debs[0]}"
  ;;

lintian)
  need lintian
  lintian --fail-on error,warning "$dir"/*.deb </dev/null || fail "lintian reports errors or warnings"
  ;;

runs)
  version=$3 library=usr/$4/libportlink.so.1
  [ "$(basename "$dir"/*.deb)" = "tovrik_${version}_amd64.deb" ] || fail "package name: $(basename "$dir"/*.deb)"
  for f in usr/bin/tovrik usr/bin/brenlock-sim usr/bin/tovrik-ports usr/bin/tovrik-cli "$library" \
           usr/share/man/man1/tovrik.1.gz usr/share/man/man1/brenlock-sim.1.gz usr/share/man/man1/tovrik-ports.1.gz usr/share/man/man1/tovrik-cli.1.gz \
           usr/share/bash-completion/completions/tovrik-cli \
           usr/share/doc/tovrik/copyright usr/share/doc/tovrik/changelog.gz; do
    [ -e "$root/$f" ] || fail "$f is missing"
  done
  for size in 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app.png" | grep -q "PNG image data, $size x $size" \
      || fail "no $size px icon"
  done
  # The library is the tool's alone: nothing to build against it.
  leaked=$(cd "$root" && find usr -name 'libportlink.so' -o -name '*.h')
  [ -z "$leaked" ] || fail "the package holds $leaked"
  # The name the tool loads it by.
  readelf -d "$root/$library" | grep -q 'SONAME.*\[libportlink\.so\.1\]' || fail "soname"
  check_runpaths "$root"/usr/bin/* "$root/$library"

  work=$(mktemp -d "${TMPDIR:-/tmp}/package-runs.XXXXXX") || exit 1
  card="" tool=""
  trap 'kill $tool $card 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
  mkdir "$work/home" "$work/dev"

  # Help and version print and end, with no display and no port opened: a
  # port opened would have started the log in the current folder.
  for program in brenlock-sim tovrik-ports tovrik-cli tovrik; do
    out=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= PORTLINK_DEVICE_DIR="$work/dev" \
          "$root/usr/bin/$program" --version) || fail "$program --version"
    [ "$out" = "$program $version" ] || fail "$program --version says '$out'"
  done
  out=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= PORTLINK_DEVICE_DIR="$work/dev" \
        "$root/usr/bin/tovrik" --help) || fail "tovrik --help"
  grep -q -e '--version' <<<"$out" || fail "tovrik --help says '$out'"
  [ -z "$(ls -A "$work" | grep -vx -e home -e dev)" ] || fail "tovrik --help or --version left $(ls -A "$work")"

  # The tool runs from the unpacked tree with nothing pointing it at a
  # library, against the unpacked card on COM1: it must load the unpacked
  # library (not the build tree's) and open the card's device through it.
  # Called in the background: the job's pid is then the program's.
  run() { cd "$work" && exec env -u LD_LIBRARY_PATH HOME="$work/home" PORTLINK_DEVICE_DIR="$work/dev" \
          QT_QPA_PLATFORM=offscreen "$@"; }
  run "$root/usr/bin/brenlock-sim" --com 1 >"$work/card.out" 2>&1 &
  card=$!
  for _ in $(seq 100); do [ -L "$work/dev/com1" ] && break; sleep 0.05; done
  pty=$(readlink "$work/dev/com1") || fail "the card made no COM1: $(cat "$work/card.out")"
  run "$root/usr/bin/tovrik" >"$work/tool.out" 2>&1 &
  tool=$!
  opened=""
  for _ in $(seq 200); do
    kill -0 $tool 2>/dev/null || fail "tovrik ended: $(cat "$work/tool.out")"
    for fd in /proc/$tool/fd/*; do
      [ "$(readlink "$fd")" = "$pty" ] && opened=yes
    done
    [ -n "$opened" ] && break
    sleep 0.05
  done
  maps=$(grep -o '/[^ ]*libportlink[^ ]*' /proc/$tool/maps | sort -u)
  [ "$maps" = "$(realpath "$root/$library")" ] || fail "tovrik maps '$maps'"
  [ -n "$opened" ] || fail "tovrik did not open COM1 ($pty): $(cat "$work/tool.out")"
  ;;

runpath)
  shift
  for folder; do
    check_runpaths "$folder"/*
  done
  ;;

validate)
  need desktop-file-validate appstreamcli
  version=$3
  desktop=$root/usr/share/applications/$app.desktop
  metainfo=$root/usr/share/metainfo/$app.metainfo.xml
  desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
  appstreamcli validate --no-net --no-color "$metainfo" </dev/null || fail "appstreamcli validate $metainfo"
  # What the validators do not look at: that the names meet in the tree.
  grep -qx "Icon=$app" "$desktop" || fail "Icon= is not $app"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$app.svg" ] || fail "no scalable icon $app.svg"
  grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo" || fail "launchable"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metainfo"
  ;;

*)
  fail "unknown step $step"
  ;;
esac
