#!/usr/bin/env bash
# Installs the two packages of build/packages/ (scripts/package.sh) on this machine, checks that
# the installed programs run and their man pages are found, and removes them again: the
# packages install and remove cleanly. Needs root (it asks for sudo when it is not).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $(id -u) -ne 0 ]]; then
  exec sudo "$0" "$@"
fi
shopt -s nullglob
debs=(build/packages/*.deb)
if ((${#debs[@]} != 2)); then
  echo "build/packages/ should hold the two packages: run scripts/package.sh" >&2
  exit 2
fi
export DEBIAN_FRONTEND=noninteractive
remove() { apt-get remove -y -q tesser quorel-host >/dev/null 2>&1 || true; }
trap remove EXIT
apt-get install -y -q --no-install-recommends "${debs[@]/#/./}" >/dev/null
/usr/bin/tesser --version
env -u DISPLAY /usr/bin/quorel-host --version
man -w tesser quorel-host >/dev/null
test -f /usr/share/metainfo/org.tesserpro.QuorelHost.metainfo.xml
test -f "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quorel-host/plug_ins/Quorel.api"
# The installed tesser stamps a file.
work=$(mktemp -d)
cp samples/sample.pdf "$work/a.pdf"
XDG_STATE_HOME=$work /usr/bin/tesser -q --text Installed --y 1 "$work/a.pdf"
pdftotext "$work/a.pdf" - | grep -q Installed
rm -rf "$work"
trap - EXIT
apt-get remove -y -q tesser quorel-host >/dev/null
if dpkg -s tesser >/dev/null 2>&1 || dpkg -s quorel-host >/dev/null 2>&1 || [[ -e /usr/bin/tesser ]]; then
  echo "the packages did not remove cleanly" >&2
  exit 1
fi
echo "packages: installed, ran and removed cleanly"
