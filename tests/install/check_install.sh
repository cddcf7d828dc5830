#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks it as the desktop meets
# it: both desktop entries valid, ".kvt" (any case) known as the message type
# with both programs as its handlers, and the installed programs finding
# their plug-in folders from the prefix.
set -euo pipefail
build=${1:?usage: check_install.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "check_install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for entry in quiram-relayo quiram-relayo-reader; do
  desktop-file-validate "$prefix/share/applications/$entry.desktop" || fail "$entry.desktop is not valid"
  grep -qx "Exec=$entry %F" "$prefix/share/applications/$entry.desktop" || fail "$entry.desktop does not pass paths"
  [ -x "$prefix/bin/$entry" ] || fail "bin/$entry missing"
  [ -f "$prefix/share/icons/hicolor/48x48/apps/$entry.png" ] || fail "$entry icon missing"
done
for folder in Importer Exporter Reader Help; do
  [ -d "$prefix/lib/quiram-relayo/$folder" ] || fail "folder $folder missing"
done
# The reader and its licence, mailed along with messages.
cmp -s "$prefix/lib/quiram-relayo/quiram-relayo-reader" "$prefix/lib/quiram-relayo/Reader/Quiram Relayo Reader.exe" ||
  fail "the reader is not in Reader/"
[ -x "$prefix/lib/quiram-relayo/Reader/Quiram Relayo Reader.exe" ] || fail "the reader in Reader/ cannot run"
grep -q "Quiram Relayo Reader" "$prefix/lib/quiram-relayo/Reader/EULA.txt" || fail "EULA.txt missing from Reader/"
ls "$prefix"/lib/quiram-relayo/Importer/*.gim >/dev/null || fail "no importer installed"
ls "$prefix"/lib/quiram-relayo/Exporter/*.gex >/dev/null || fail "no exporter installed"

# The desktop's own view of the file type, from the installed database only.
home=$(mktemp -d -p "$prefix")
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
export XDG_DATA_DIRS="$prefix/share" XDG_CURRENT_DESKTOP=GNOME
for name in note.kvt NOTE.KVT Note.Kvt; do
  printf "\x23\x37\x33\x32\x31 not a picture" >"$home/$name"
  type=$(xdg-mime query filetype "$home/$name")
  [ "$type" = application/x-quiram-relayo-message ] || fail "$name is '$type'"
done
for entry in quiram-relayo quiram-relayo-reader; do
  grep -qx "MimeType=application/x-quiram-relayo-message;" "$prefix/share/applications/$entry.desktop" ||
    fail "$entry does not handle message files"
done

# The installed program, started through its link with a picture to open,
# loads its plug-ins from the prefix (the loader's own log says from where).
mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
export XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen
cp "${2:?usage: check_install.sh BUILD_DIR PICTURE}" "$home/picture.jpg"
LD_DEBUG=files LD_DEBUG_OUTPUT="$home/loads" "$prefix/bin/quiram-relayo" "$home/picture.jpg" >/dev/null 2>&1 &
program=$!
found=""
for _ in $(seq 600); do
  if grep -qs "file=$prefix/lib/quiram-relayo/Importer/.*jpeg_importer.gim" "$home"/loads.*; then found=1; break; fi
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
[ -n "$found" ] || fail "the installed program did not load its importers from the prefix"
echo "check_install: ok"
