#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks every installed
# desktop file with the tools a distribution would use.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/pictomat libexec/pictomat-reader share/pictomat/selection share/applications/com.corvane.Pictomat.desktop \
         share/pictomat/translations/pictomat_de.qm share/pictomat/translations/pictomat_fr.qm \
         share/dbus-1/services/com.corvane.Pictomat.service share/metainfo/com.corvane.Pictomat.metainfo.xml \
         share/man/man1/pictomat.1 share/bash-completion/completions/pictomat \
         share/icons/hicolor/scalable/apps/com.corvane.Pictomat.svg \
         share/icons/hicolor/48x48/apps/com.corvane.Pictomat.png; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/share/pictomat/selection" ] || fail "the selection script is not executable"
grep -q "^Exec=$prefix/bin/pictomat" "$prefix/share/dbus-1/services/com.corvane.Pictomat.service" \
  || fail "the D-Bus service does not start the installed program"
desktop-file-validate "$prefix/share/applications/com.corvane.Pictomat.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/com.corvane.Pictomat.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$prefix/share/metainfo/com.corvane.Pictomat.metainfo.xml"
man -l "$prefix/share/man/man1/pictomat.1" >/dev/null 2>"$prefix/man.err" || fail "man cannot render the page"
[ ! -s "$prefix/man.err" ] || { cat "$prefix/man.err"; fail "man warned"; }
bash -n "$prefix/share/bash-completion/completions/pictomat" || fail "completion script has syntax errors"
/usr/bin/python3 -c "
from PIL import Image; import sys
im = Image.open(sys.argv[1]); assert im.size == (48, 48), im.size
" "$prefix/share/icons/hicolor/48x48/apps/com.corvane.Pictomat.png"

# The installed program finds its installed data (selection script).
out="$(HOME="$prefix/home" XDG_RUNTIME_DIR="$prefix/run" "$prefix/bin/pictomat" --version)" || fail "installed pictomat does not run"
echo "$out" | grep -q "1.0.0" || fail "unexpected version: $out"
# It finds its installed catalogues: without a display the tray says so in German.
said="$(env -u DISPLAY -u WAYLAND_DISPLAY -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8 HOME="$prefix/home" \
  XDG_RUNTIME_DIR="$prefix/run" "$prefix/bin/pictomat" 2>&1 >/dev/null)" && fail "pictomat without a display succeeded"
echo "$said" | grep -q "grafische Sitzung" || fail "the installed program does not speak German: $said"
echo "install checks passed"
