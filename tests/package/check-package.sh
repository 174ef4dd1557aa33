#!/usr/bin/env bash
# Builds the Debian package as a user would (scripts/package), holds it to
# lintian, installs it with dpkg into a throw-away root, runs the installed
# program and removes the package again. dpkg works on its own database there:
# a copy of this machine's, so Depends and file clashes are judged against the
# real system while nothing of the real system is touched.
set -euo pipefail
src="$1"
build="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The tree scripts/package uses by default, so the two share one build.
pkgbuild="$src/build-package"
PICTOMAT_PACKAGE_BUILD_DIR="$pkgbuild" PICTOMAT_PACKAGE_OUT="$tmp/out" \
  "$src/scripts/package" >"$tmp/package.log" || { cat "$tmp/package.log"; fail "scripts/package failed"; }
deb="$(tail -n1 "$tmp/package.log")"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(basename "$deb")" = "pictomat_$(field Version)_amd64.deb" ] || fail "unexpected package name: $deb"

# Warnings count too: the ones we accept are overridden inside the package,
# each with its reason.
lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian found errors or warnings"

admin="$tmp/admin"
inst="$tmp/root"
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers" "$inst"
# Installed packages only (nothing half-done whose scripts dpkg might run),
# and no installed pictomat of the user's.
awk -v RS= -v ORS='\n\n' '/\nStatus: install ok installed\n/ && !/^Package: pictomat\n/' \
  /var/lib/dpkg/status >"$admin/status"
find /var/lib/dpkg/info -name '*.list' ! -name 'pictomat.list' ! -name 'pictomat:*' -exec cp -t "$admin/info" {} +
dpkg=(dpkg --admindir="$admin" --instdir="$inst")
"${dpkg[@]}" -i "$deb" >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg could not install the package"; }

# Everything `cmake --install` installs is in the package, manual pages
# compressed.
DESTDIR="$tmp/plain" cmake --install "$pkgbuild" >/dev/null
while IFS= read -r f; do
  case "$f" in usr/share/man/*) f="$f.gz" ;; esac
  [ -e "$inst/$f" ] || fail "$f is installed by cmake but missing from the package"
done < <(cd "$tmp/plain" && find . ! -type d | sed 's|^\./||')
for f in usr/share/doc/pictomat/copyright usr/share/doc/pictomat/changelog.Debian.gz; do
  [ -f "$inst/$f" ] || fail "$f is missing"
done
if grep -rlF -e "$src" -e "$build" "$inst"; then
  fail "the package names this machine's source or build tree"
fi
execs="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$inst"/usr/share/applications/*.desktop \
  "$inst"/usr/share/dbus-1/services/*.service | sort -u)"
[ "$execs" = /usr/bin/pictomat ] || fail "launcher or D-Bus service starts $execs"

# The libraries opened with dlopen when first needed are named by the sonames
# the build read (lazy-libraries.txt): the program carries each, and the
# package that ships each (or one it provides) is among the Depends.
depends=" $(field Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
sonames="$(cut -d' ' -f1 "$pkgbuild/lazy-libraries.txt")"
[ "$(echo "$sonames" | wc -l)" -ge 13 ] || fail "too few libraries opened when first needed: $sonames"
while read -r so folder; do
  grep -qaF "$so" "$inst/usr/bin/pictomat" || fail "the program does not name $so"
  owner="$(dpkg -S "$folder/$so" | cut -d: -f1)"
  provided="$(dpkg-query -W -f='${Provides}' "$owner" | sed 's/([^)]*)//g; s/,/ /g')"
  covered=""
  for name in $owner $provided; do
    [[ "$depends" == *" $name "* ]] && covered=1
  done
  [ -n "$covered" ] || fail "$so comes from $owner, which the package does not depend on"
done <"$pkgbuild/lazy-libraries.txt"

# The installed program runs with its installed data.
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" XDG_DATA_HOME="$tmp/home/.local/share" \
  XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen
unset PICTOMAT_DATA_DIR
# What it says is read in English below, whatever language the runner speaks;
# its German comes from the package's own catalogue.
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C.UTF-8
said="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LANG=de_DE.UTF-8 "$inst/usr/bin/pictomat" 2>&1 >/dev/null)" \
  && fail "pictomat without a display succeeded"
grep -q "grafische Sitzung" <<<"$said" || fail "the installed program does not speak German: $said"
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
"$inst/usr/bin/pictomat" --help | grep -q '^Usage: pictomat' || fail "pictomat --help"
"$inst/usr/bin/pictomat" --version | grep -qF "$(field Version | cut -d- -f1)" || fail "pictomat --version"
formats="$("$inst/usr/bin/pictomat" formats)" || fail "pictomat formats failed"
for ext in png jpg tif webp; do
  grep -q "^$ext	" <<<"$formats" || fail "pictomat formats does not list $ext: $formats"
done

# PDF pages are drawn by the module installed beside the program.
/usr/bin/python3 -c 'import cairo, sys
s = cairo.PDFSurface(sys.argv[1], 40, 40); c = cairo.Context(s); c.rectangle(5, 5, 30, 30); c.fill(); s.finish()' \
  "$tmp/page.pdf" || fail "python3-cairo could not write a PDF"
"$inst/usr/bin/pictomat" iconset create "$tmp/page-icons" "$tmp/page.pdf" >/dev/null ||
  fail "the installed program does not draw a PDF"

# Web pages are fetched by the module installed beside the program: a web
# location's page is read (the icon it names is asked for) from a server on
# this machine.
mkdir -p "$tmp/site"
printf '<html><head><link rel="icon" href="/icon.png"></head></html>' >"$tmp/site/page.html"
/usr/bin/python3 - "$tmp/site" "$tmp/port" "$tmp/requests" <<'PY' &
import functools, http.server, os, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        with open(sys.argv[3], "a") as f:
            f.write(self.path + "\n")
server = http.server.HTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=sys.argv[1]))
with open(sys.argv[2] + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[2] + ".part", sys.argv[2])
server.serve_forever()
PY
server=$!
for _ in $(seq 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
printf '[InternetShortcut]\r\nURL=http://127.0.0.1:%s/page.html\r\n' "$(cat "$tmp/port")" >"$tmp/site.url"
"$inst/usr/bin/pictomat" run add-shortcut-icon "$tmp/site.url" >/dev/null 2>"$tmp/web.err" || true
kill "$server"
grep -qx /icon.png "$tmp/requests" 2>/dev/null ||
  { cat "$tmp/web.err"; fail "the installed program does not fetch from the web"; }

"${dpkg[@]}" --purge pictomat >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg could not remove the package"; }
left="$(find "$inst" -mindepth 1)"
[ -z "$left" ] || fail "left behind after removal: $left"
if dpkg-query --admindir="$admin" -W pictomat >/dev/null 2>&1; then
  fail "pictomat is still registered after removal"
fi
echo "package checks passed: $(basename "$deb")"
