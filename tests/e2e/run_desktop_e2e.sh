#!/usr/bin/env bash
# Runs tests/e2e/desktop_e2e.py against the real quorel-host: a virtual X display (Xvfb), a
# private D-Bus session with the accessibility bus, a profile folder of its own, and a private
# CUPS scheduler (its own folders and socket; the machine's CUPS is not touched) whose one queue
# writes each job to a file.
# Usage: tests/e2e/run_desktop_e2e.sh BUILD_DIR [SCREENSHOT_DIR]
# Exit status 77 means a tool it needs is missing (ctest reports the test as skipped).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR [SCREENSHOT_DIR]}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tesser-e2e-XXXXXX")
shots=${2:-$work/screenshots}

skip() { echo "SKIPPED: $*" >&2; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "the private CUPS scheduler runs its backend as lp: needs root"
for tool in xvfb-run dbus-run-session /usr/libexec/at-spi-bus-launcher /usr/sbin/cupsd \
            /usr/sbin/lpadmin import qpdf pdftotext pdfinfo; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
getent passwd lp >/dev/null || skip "there is no lp user"

cupsd_pid=
cleanup() {
  [[ -n $cupsd_pid ]] && kill "$cupsd_pid" 2>/dev/null && wait "$cupsd_pid" 2>/dev/null
  [[ -n ${E2E_KEEP:-} ]] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

cups=$work/cups
mkdir -p "$cups"/{spool,cache,state,log,bin/backend} "$work"/{outbox,config,files}
for sub in filter daemon cgi-bin monitor notifier driver; do
  ln -s "/usr/lib/cups/$sub" "$cups/bin/$sub"
done
# Each job goes to a file of its own, renamed into place once written.
cat > "$cups/bin/backend/tofile" <<'EOF'
#!/bin/sh
if [ $# -eq 0 ]; then echo 'direct tofile "Unknown" "File"'; exit 0; fi
out="${DEVICE_URI#tofile:}/job-$1.pdf"
if [ $# -ge 6 ]; then cat "$6" > "$out.part"; else cat > "$out.part"; fi && mv "$out.part" "$out"
EOF
chmod 755 "$cups/bin/backend/tofile"
socket=$cups/cups.sock
cat > "$cups/cupsd.conf" <<EOF
Listen $socket
LogLevel warn
<Location />
  Order allow,deny
  Allow all
</Location>
EOF
cat > "$cups/cups-files.conf" <<EOF
RequestRoot $cups/spool
CacheDir $cups/cache
StateDir $cups/state
ServerRoot $cups
ServerBin $cups/bin
ErrorLog $cups/log/error_log
AccessLog $cups/log/access_log
PageLog $cups/log/page_log
User lp
Group lp
EOF
chmod 755 "$work" "$cups"
chown -R lp:lp "$cups"/{spool,cache,log}
chmod 777 "$work/outbox"
cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" >/dev/null 2>&1 &
cupsd_pid=$!
export CUPS_SERVER=$socket
for _ in $(seq 100); do
  [[ -S $socket ]] && lpstat -r >/dev/null 2>&1 && break
  sleep 0.1
done
lpadmin -p tesserq -E -v "tofile:$work/outbox"
# The host prints to the default destination; PRINTER names it for this session alone.
export PRINTER=tesserq

export XDG_CONFIG_HOME=$work/config
export HOME=$work/config
status=0
xvfb-run -a -s "-screen 0 900x760x24" dbus-run-session -- \
  /usr/bin/python3 "$here/desktop_e2e.py" --host "$build/app/quorel-host" \
  --sample "$source_dir/samples/sample.pdf" --work "$work/files" --config "$work/config" \
  --screenshots "$shots" --outbox "$work/outbox" 2>&1 | grep -v '^dbus-daemon' || true
status=${PIPESTATUS[0]}
if [[ $status -ne 0 && -f $cups/log/error_log ]]; then
  echo "--- CUPS error log" && cat "$cups/log/error_log"
fi
exit "$status"
