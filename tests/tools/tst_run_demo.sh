#!/usr/bin/env bash
# tools/run-demo.sh with a stand-in for the panel that presses 开 (open)
# through the ports/COM1 beside itself, as the panel does.
#   tst_run_demo.sh RUN_DEMO_SCRIPT BIN_DIR
set -euo pipefail
script=$1
bindir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/build/bin"
ln -s "$bindir/blinds-sim" "$work/build/bin/blinds-sim"
cat > "$work/build/bin/blinds-panel" <<EOF
#!/usr/bin/env bash
here=\$(dirname "\$(readlink -f "\$0")")
[ "\$here" = "$work/demo" ] || { echo "the panel runs from \$here" >&2; exit 10; }
[ "\$PWD" = "$work/demo" ] || { echo "the panel starts in \$PWD" >&2; exit 11; }
[ "\$(cat 端口列表.TXT)" = 1 ] || { echo "the port file does not say 1" >&2; exit 12; }
exec "$bindir/blindsctl" --ports-dir "\$here/ports" --port COM1 open
EOF
chmod +x "$work/build/bin/blinds-panel"

out=$(bash "$script" "$work/build" "$work/demo" 2>&1) || fail "run-demo exited with $?: $out"
grep -q "address=010203 fourth=01 data=0" <<<"$out" || fail "no reply shown: $out"
grep -q "in  03 02 01 01 01 01 09" <<<"$out" || fail "the simulator's log is missing: $out"
[ -f "$work/demo/blinds-panel" ] && [ ! -L "$work/demo/blinds-panel" ] || fail "the panel is not a copy"
[ ! -e "$work/demo/ports/COM1" ] && [ ! -L "$work/demo/ports/COM1" ] ||
  fail "the simulator was not stopped: its link is still there"

# A second run reuses the demo folder, even with a link left by a killed run.
ln -s /dev/null "$work/demo/ports/COM1"
out=$(bash "$script" "$work/build" "$work/demo" 2>&1) || fail "second run exited with $?: $out"

# The panel's exit status is passed on.
sed -i 's/ open$/ --address 000009 --timeout 100ms stop/' "$work/build/bin/blinds-panel"
status=0
bash "$script" "$work/build" "$work/demo" >/dev/null 2>&1 || status=$?
[ "$status" = 1 ] || fail "the panel's status 1 came out as $status"

# Never a folder that the script did not make.
mkdir -p "$work/install"
echo 3 >"$work/install/端口列表.TXT"
if bash "$script" "$work/build" "$work/install" >/dev/null 2>&1; then
  fail "an installation folder was taken over"
fi
[ "$(cat "$work/install/端口列表.TXT")" = 3 ] || fail "the installation's port file was changed"
[ ! -e "$work/install/blinds-panel" ] || fail "the panel was copied into an installation folder"

# Without a built panel it says what to do.
rm "$work/build/bin/blinds-panel"
err=$(bash "$script" "$work/build" "$work/demo" 2>&1) && fail "ran without a panel"
grep -q "make build" <<<"$err" || fail "no cure given: $err"
echo "PASS"
