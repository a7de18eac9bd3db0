#!/usr/bin/env bash
# Installs the Debian package on this machine and checks it as a user meets
# it: both programs and their manual pages, bash completion, the viewer's
# window on a sample trace under Xvfb, the trace file type and the entry
# that opens it. Then removes and purges the package and checks that none
# of its files is left. Needs root (it runs apt-get and dpkg); not part of
# the test command.
#
#   scripts/package-check.sh [DEB]   (default: the .deb in build/package)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
package=marrow-viewer
type=text/x-oracle-optimizer-trace
[ "$(id -u)" -eq 0 ] || { echo "error: package-check.sh needs root" >&2; exit 1; }
deb=$(realpath "${1:-$(ls "$root"/build/package/${package}_*.deb | tail -n 1)}")
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# The checks' tools, and the two packages whose file triggers build the
# MIME and desktop databases from what the package installs.
tools=(man-db xvfb xauth xdotool xdg-utils shared-mime-info desktop-file-utils)
if ! apt-get install -y -qq --no-install-recommends "${tools[@]}" >/dev/null 2>&1; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${tools[@]}" >/dev/null
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
  dpkg --purge "$package" >/dev/null
fi

echo "== Installing $deb"
apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
dpkg -L "$package" | sort > "$work/files"
echo "   $(grep -c . "$work/files") paths; Depends: $(dpkg-query -W -f='${Depends}' "$package")"
version=$(dpkg-query -W -f='${Version}' "$package")
version=${version%-*}

for program in zazozav-cli zazozav; do
  out=$(env -u DISPLAY "/usr/bin/$program" --version 2>&1) || true
  [ "$out" = "$program $version" ] && pass "$program --version: $out" || fail "$program --version: $out"
  page=$(man -w "$program" 2>&1) || true
  [ "$page" = "/usr/share/man/man1/$program.1.gz" ] && pass "man -w $program: $page" || fail "man -w $program: $page"
  warnings=$(MANWIDTH=80 man --warnings=w "$program" 2>&1 >/dev/null) || true
  [ -z "$warnings" ] && pass "man $program renders without warnings" || fail "man $program: $warnings"
done

completion=$(bash -c 'source /usr/share/bash-completion/completions/zazozav-cli
  COMP_WORDS=(zazozav-cli su); COMP_CWORD=1; _zazozav_cli; echo "${COMPREPLY[*]}"
  COMP_WORDS=(zazozav-cli outline --n); COMP_CWORD=2; _zazozav_cli; echo "${COMPREPLY[*]}"')
[ "$completion" = $'summary\n--no-format' ] && pass "bash completion: su -> summary, outline --n -> --no-format" \
  || fail "bash completion gave: $completion"

[ -f "/usr/share/mime/${type}.xml" ] && pass "MIME database holds $type" || fail "no $type in the MIME database"
default=$(XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" xdg-mime query default "$type" 2>&1) || true
[ "$default" = zazozav.desktop ] && pass "xdg-mime query default $type: $default" || fail "xdg-mime default: $default"

# The window's caption names the trace once it is loaded.
caption="Marrow Viewer - hr_two_statements.trc"
cp "$root/samples/hr_two_statements.trc" "$work/"
if HOME="$work" timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    /usr/bin/zazozav "$1" & viewer=$!
    found=$(timeout 60 xdotool search --sync --name "^$2\$" | head -n 1)
    kill "$viewer"; wait "$viewer"
    [ -n "$found" ]' _ "$work/hr_two_statements.trc" "$caption" >"$work/viewer.log" 2>&1; then
  pass "zazozav under Xvfb shows a window \"$caption\""
else
  fail "no window \"$caption\": $(tail -n 5 "$work/viewer.log")"
fi

echo "== Removing and purging $package"
apt-get remove -y -qq "$package" >/dev/null
# Purged with dpkg: apt no longer knows a package from a file once it is
# removed. Without conffiles the removal has already purged it.
if dpkg-query -W "$package" >/dev/null 2>&1; then dpkg --purge "$package" >/dev/null; fi
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" && fail "$package still installed"
left=0
while read -r path; do
  [ -e "$path" ] || continue
  # A directory that another package also holds stays, rightly.
  if [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi
  [ "$path" = /. ] && continue
  echo "     left: $path"
  left=$((left + 1))
done < "$work/files"
[ "$left" -eq 0 ] && pass "nothing of the package's $(grep -c . "$work/files") paths is left" || fail "$left paths left"
[ ! -e "/usr/share/mime/${type}.xml" ] && pass "$type left the MIME database" || fail "$type still in the MIME database"
! grep -qs zazozav.desktop /usr/share/applications/mimeinfo.cache && pass "the desktop database no longer names zazozav.desktop" \
  || fail "mimeinfo.cache still names zazozav.desktop"

echo "package check: $failures failed"
[ "$failures" -eq 0 ]
