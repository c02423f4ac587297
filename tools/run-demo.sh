#!/usr/bin/env bash
# The demo behind `make run`: the panel in a folder of its own with COM1
# linked to a simulated bus that has one controller, 010203. Press 开 and the
# reply flashes green; the simulator's log shows the frames in this terminal.
#
#   tools/run-demo.sh BUILD_DIR [DEMO_DIR]     (DEMO_DIR defaults to demo/)
#
# It builds nothing. The panel is copied, not linked: it finds ports/ and its
# port file beside its own executable, with links resolved.
set -euo pipefail

build=${1:?usage: run-demo.sh BUILD_DIR [DEMO_DIR]}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
demo=${2:-$root/demo}
bin=$build/bin
marker=.blinds-demo

for exe in blinds-panel blinds-sim; do
  if [ ! -x "$bin/$exe" ]; then
    echo "run-demo: $bin/$exe is missing: build first (make build)" >&2
    exit 1
  fi
done

# Never take over a real installation: a folder that exists must be one we made.
if [ -d "$demo" ] && [ -n "$(ls -A "$demo")" ] && [ ! -e "$demo/$marker" ]; then
  echo "run-demo: $demo is not a demo folder made by this script; give another folder" >&2
  exit 1
fi
mkdir -p "$demo/ports"
touch "$demo/$marker"
cp -f "$bin/blinds-panel" "$demo/blinds-panel"
# Start on COM1 whatever the last demo was left on.
printf 1 > "$demo/端口列表.TXT"

link=$demo/ports/COM1
rm -f "$link" # left behind by a simulator that was killed

"$bin/blinds-sim" --controller 010203 --link "$link" --log </dev/null &
sim=$!
stop_sim() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
}
trap stop_sim EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for _ in $(seq 200); do
  [ -L "$link" ] && break
  if ! kill -0 "$sim" 2>/dev/null; then
    echo "run-demo: the simulator did not start" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -L "$link" ]; then
  echo "run-demo: $link did not appear" >&2
  exit 1
fi

cd "$demo"
status=0
./blinds-panel || status=$?
exit "$status"
