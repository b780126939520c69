#!/usr/bin/env bash
# Installs the Debian packages of build/package on this machine, checks them as an administrator would,
# runs the installed service as its own account on the demo installation (a rehearsal on the virtual
# clock, then a start on the real clock ended by SIGTERM), and purges them again. Needs root, and
# changes the system: meant for CI and throw-away machines.
#   packaging/test-package.sh [BUILD_DIR]     (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/package}"
[ "$(id -u)" -eq 0 ] || { echo "test-package: needs root (it installs packages)"; exit 1; }
debs=("$build"/qxmover_*.deb "$build"/libqxclass[0-9]*_*.deb "$build"/libqxclass-dev_*.deb)
for deb in "${debs[@]}"; do [ -f "$deb" ] || { echo "test-package: $deb missing; run scripts/package.sh"; exit 1; }; done
fail() { echo "test-package: FAILED: $*"; exit 1; }
step() { echo "== $*"; }
work=$(mktemp -d)
cleanup() {
  dpkg --purge qxmover libqxclass-dev "$(dpkg-deb -f "$build"/libqxclass[0-9]*_*.deb Package)" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

step "lintian (errors fail)"
lintian --tag-display-limit 0 "${debs[@]}" 2>&1 | grep -v 'running with root' | tee "$work/lintian.txt" || true
! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors"

step "install"
dpkg -i "${debs[@]}" >/dev/null
getent passwd qxmover >/dev/null || fail "the service account qxmover was not created"
for f in /usr/bin/qxmover /usr/libexec/qxmover/qxmover-window /usr/share/qxmover/qxmovedt.lng \
         /usr/share/man/man1/qxmover.1.gz /lib/systemd/system/qxmover.service /etc/default/qxmover \
         /usr/share/applications/qxmover.desktop /etc/xdg/autostart/qxmover.desktop \
         /usr/include/qxclass/CDatabase.h /usr/lib/x86_64-linux-gnu/pkgconfig/qxclass.pc /usr/lib/tmpfiles.d/qxclass.conf; do
  [ -e "$f" ] || fail "$f is not installed"
done
man -l /usr/share/man/man1/qxmover.1.gz 2>/dev/null | grep -q 'alarm report' || fail "the man page lacks the commands"
echo 'int main(){}' | c++ -x c++ - -o "$work/link" $(pkg-config --cflags --libs qxclass) || fail "cannot link the installed library"

step "systemd-analyze verify and security"
systemd-analyze verify /lib/systemd/system/qxmover.service || fail "systemd-analyze verify"
systemd-analyze security --offline=true /lib/systemd/system/qxmover.service | tail -n 1 | tee "$work/security.txt"
grep -Eq ' (OK|SAFE) ' "$work/security.txt" || fail "the unit's exposure is worse than OK"

step "the installed service as its account, on the demo installation"
bash demo/make-demo.sh "$work/demo" >/dev/null
chown -R qxmover:qxmover "$work/demo"
chmod 755 "$work"
as_service=(setpriv --reuid qxmover --regid qxmover --init-groups --reset-env
            env PATH="$work/demo/work/bin:/usr/bin:/bin" TZ=Europe/Berlin)
"${as_service[@]}" /usr/bin/qxmover --root "$work/demo/root" --workdir "$work/demo/work" --headless \
  --clock-start "2026-12-06 23:50" --clock-until "2026-12-07 01:05" 2>"$work/start.txt" || fail "the rehearsal failed: $(cat "$work/start.txt")"
[ -d "$work/demo/root/qxt/log/log49" ] || fail "the rehearsal filed no week directory"
grep -q . "$work"/demo/work/log/qxmover_*.log || fail "no activity log"

step "start on the real clock, stop by SIGTERM"
# Started directly (not through a function), so that $! is the service itself.
"${as_service[@]}" /usr/bin/qxmover --root "$work/demo/root" --workdir "$work/demo/work" --headless \
  >/dev/null 2>&1 &
pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the service did not stay up"
started=$(date +%s)
kill -TERM "$pid"
timeout 10 tail --pid="$pid" -f /dev/null || { kill -KILL "$pid"; fail "the service did not stop on SIGTERM"; }
wait "$pid" || fail "the service did not exit 0 on SIGTERM"
[ $(( $(date +%s) - started )) -le 3 ] || fail "the stop took longer than three seconds"

step "purge"
dpkg --purge qxmover libqxclass-dev "$(dpkg-deb -f "$build"/libqxclass[0-9]*_*.deb Package)" >/dev/null
for f in /usr/bin/qxmover /etc/default/qxmover /lib/systemd/system/qxmover.service /usr/include/qxclass; do
  [ ! -e "$f" ] || fail "$f is left after the purge"
done
echo "test-package: passed"
