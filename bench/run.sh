#!/usr/bin/env bash
# Runs every benchmark and prints one table with the machine it ran on.
#
#   bench/run.sh [BUILD_DIR]          (BUILD_DIR defaults to build)
#
# Rows 1-3 drive the protocol core and the serial port against a
# pseudo-terminal peer (programs in BUILD_DIR/bench). Rows 4-5 start programs
# under a private Xvfb: the panel (BUILD_DIR/bin/blinds-panel, "not built"
# when missing), a minimal Qt Widgets window as the floor, and CuteCom and
# GTKTerm where installed. Each program's own output goes to
# BUILD_DIR/bench-logs.
#
# Environment: BENCH_STARTS (start-ups per program, default 20),
# BENCH_FLOOD_SECONDS (default 30), BENCH_IDLE_SECONDS (default 60).
set -uo pipefail

build=${1:-build}
starts=${BENCH_STARTS:-20}
flood_seconds=${BENCH_FLOOD_SECONDS:-30}
idle_seconds=${BENCH_IDLE_SECONDS:-60}
benchbin=$build/bench
panel=$build/bin/blinds-panel
logs=$build/bench-logs
mkdir -p "$logs"
rm -f "$logs"/*.log "$logs"/*.txt
work=$(mktemp -d)
rows=()
pids=()

cleanup() { # last started first, so that the display goes last
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null
    wait "${pids[$i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# row ID FIGURE MEDIAN P99 GOAL RESULT
row() { rows+=("$(printf '%s\t%s\t%s\t%s\t%s\t%s' "$@")"); }

# Median and 99th percentile (nearest rank) of the numbers on stdin.
stats() {
  sort -g | awk '{ v[NR] = $1 }
    END {
      if (NR == 0) { print "- -"; exit }
      m = int((NR + 1) / 2); p = int(NR * 0.99); if (p < NR * 0.99) p++; if (p < 1) p = 1
      printf "%.4g %.4g\n", v[m], v[p]
    }'
}

# ---------------------------------------------------------------- rows 1-3
wire_row() { # PROGRAM [ARGS]: copies its ROW lines into the table
  local program=$1
  shift
  if [ ! -x "$benchbin/$program" ]; then
    row "-" "$program" "not built" "" "" ""
    return
  fi
  local log=$logs/$program${2:+-$2}.log
  "$benchbin/$program" "$@" >"$log" 2>&1
  local status=$?
  local found=0 id what median p99 goal verdict
  while IFS=$'\t' read -r _ id what median p99 goal verdict; do
    row "$id" "$what" "$median" "$p99" "$goal" "$verdict"
    found=1
  done < <(grep '^ROW' "$log")
  if [ $found = 0 ] || [ $status != 0 ]; then
    row "-" "$program" "failed (exit $status), see $log" "" "" ""
  fi
}

wire_row bench_command_latency 1000
wire_row bench_reply_latency 1000
wire_row bench_receive_flood "$flood_seconds" 1000000
wire_row bench_receive_flood "$flood_seconds" 0

# ---------------------------------------------------------------- rows 4-5
display=""
start_display() {
  command -v Xvfb >/dev/null || return 1
  local fifo=$work/displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$logs/xvfb.log" 2>&1 &
  pids+=($!)
  read -r -t 10 display <"$fifo" || return 1
  [ -n "$display" ] || return 1
  export DISPLAY=:$display
}

# A folder of the panel's own: it keeps its port file and ports/ beside the
# executable, so it runs from a copy, with COM1 linked to one end of a
# pseudo-terminal pair that socat holds open.
prepare_panel() {
  local dir=$work/panel
  mkdir -p "$dir/ports"
  cp "$panel" "$dir/blinds-panel" || return 1
  printf 1 >"$dir/端口列表.TXT"
  command -v socat >/dev/null || return 1
  socat "pty,raw,echo=0,link=$dir/ports/COM1" "pty,raw,echo=0,link=$work/bus" \
    >"$logs/socat.log" 2>&1 &
  pids+=($!)
  local i
  for i in $(seq 100); do
    [ -e "$dir/ports/COM1" ] && return 0
    sleep 0.05
  done
  return 1
}

# Separate settings for the peers, so that no earlier session of theirs on
# this machine changes what they do at start.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# A session bus of their own, as a desktop session has one: without it Qt and
# GTK try to start one for every program (a fork and a search of PATH).
unset DBUS_SESSION_BUS_ADDRESS
if command -v dbus-daemon >/dev/null; then
  read -r bus_address bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd' ')
  if [ -n "${bus_pid:-}" ]; then
    export DBUS_SESSION_BUS_ADDRESS=$bus_address
    pids+=("$bus_pid")
  fi
fi

names=()
commands=()
add_program() { names+=("$1"); commands+=("$2"); }

have_display=0
if [ ! -x "$benchbin/bench_startwatch" ]; then
  row 4 "start-up" "bench_startwatch not built (needs libx11-dev, libxdamage-dev)" "" "" ""
elif start_display; then
  have_display=1
else
  row 4 "start-up" "no Xvfb" "" "" ""
fi

panel_ready=0
if [ -x "$panel" ] && prepare_panel; then
  panel_ready=1
fi

if [ $have_display = 1 ]; then
  [ $panel_ready = 1 ] && add_program blinds-panel "$work/panel/blinds-panel"
  add_program floor "$benchbin/bench_floor_window"
  add_program floor-chinese "$benchbin/bench_floor_window 通道号发送次数目标地址"
  command -v cutecom >/dev/null && add_program CuteCom "$(command -v cutecom)"
  command -v gtkterm >/dev/null && add_program GTKTerm "$(command -v gtkterm)"

  # Interleaved, so that a busy moment of the machine hits every program.
  for n in $(seq "$starts"); do
    for i in "${!names[@]}"; do
      "$benchbin/bench_startwatch" --settle 1000 ${commands[$i]} \
        >>"$logs/startup-${names[$i]}.txt" 2>>"$logs/startup-${names[$i]}.log"
    done
  done

  floor_ms="" floor_rss=""
  for i in "${!names[@]}"; do
    name=${names[$i]}
    file=$logs/startup-$name.txt
    read -r ms_med ms_p99 < <(sed -n 's/^startup_ms=\([0-9.]*\).*/\1/p' "$file" | stats)
    read -r rss_med rss_p99 < <(sed -n 's/.*rss_kib=\([0-9]*\).*/\1/p' "$file" | awk '{ printf "%.1f\n", $1 / 1024 }' | stats)
    count=$(grep -c startup_ms "$file")
    if [ "$name" = floor ]; then
      floor_ms=$ms_med floor_rss=$rss_med
    fi
    ms[$i]="$ms_med $ms_p99" rss[$i]="$rss_med $rss_p99" runs[$i]=$count
  done
  for i in "${!names[@]}"; do
    name=${names[$i]}
    read -r ms_med ms_p99 <<<"${ms[$i]}"
    read -r rss_med rss_p99 <<<"${rss[$i]}"
    goal_t="" goal_m="" verdict_t="" verdict_m=""
    if [ "$name" = blinds-panel ] && [ -n "$floor_ms" ] && [ "$ms_med" != - ]; then
      goal_t="<= 1.5 x floor"
      verdict_t=$(awk -v a="$ms_med" -v f="$floor_ms" 'BEGIN { printf "%s (%.2f x)", (a <= 1.5 * f) ? "met" : "MISSED", a / f }')
      goal_m="<= 1.4 x floor"
      verdict_m=$(awk -v a="$rss_med" -v f="$floor_rss" 'BEGIN { printf "%s (%.2f x)", (a <= 1.4 * f) ? "met" : "MISSED", a / f }')
    fi
    row 4 "start-up, exec to first paint of the window: $name (${runs[$i]} runs)" "$ms_med ms" "$ms_p99 ms" "$goal_t" "$verdict_t"
    row 4m "resident memory 1 s after the window: $name" "$rss_med MiB" "$rss_p99 MiB" "$goal_m" "$verdict_m"
  done
  [ $panel_ready = 1 ] || row 4 "start-up: blinds-panel" "not built" "" "" ""
fi

# Idle: on-CPU time and scheduler time slices (each one a wake-up) of every
# thread, read from /proc/PID/task/*/schedstat once a second; the floor runs
# alongside for comparison.
sample() { # PID: "cpu_ns slices" summed over its threads
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ c += $1; s += $3 } END { print c + 0, s + 0 }'
}
idle_rows() { # NAME FILE: one "cpu_ns slices" line per second
  local name=$1 file=$2 percent goal="" verdict=""
  percent=$(awk 'NR == 1 { c0 = $1 } { c = $1; n = NR - 1 } END { printf "%.3f", (c - c0) / 1e9 / n * 100 }' "$file")
  read -r cpu_med cpu_p99 < <(awk 'NR > 1 { print ($1 - c) / 1e9 * 100 } { c = $1 }' "$file" | stats)
  read -r wake_med wake_p99 < <(awk 'NR > 1 { print $2 - s } { s = $2 }' "$file" | stats)
  if [ "$name" = blinds-panel ]; then
    goal="< 0.1 %"
    verdict=$(awk -v p="$percent" 'BEGIN { print (p < 0.1) ? "met" : "MISSED" }')
  fi
  row 5 "idle CPU, per second over $idle_seconds s: $name (whole run $percent %)" "$cpu_med %" "$cpu_p99 %" "$goal" "$verdict"
  row 5w "idle wake-ups per second: $name" "$wake_med /s" "$wake_p99 /s" "" ""
}

if [ $have_display = 1 ]; then
  idle_names=() idle_pids=()
  if [ $panel_ready = 1 ]; then
    (cd "$work/panel" && exec ./blinds-panel) </dev/null >"$logs/idle-panel.log" 2>&1 &
    idle_names+=(blinds-panel) idle_pids+=($!)
    pids+=($!)
  else
    row 5 "idle: blinds-panel" "not built" "" "" ""
  fi
  "$benchbin/bench_floor_window" </dev/null >"$logs/idle-floor.log" 2>&1 &
  idle_names+=(floor) idle_pids+=($!)
  pids+=($!)
  sleep 3 # past start-up
  port_device=$(readlink -f "$work/panel/ports/COM1" 2>/dev/null)
  if [ $panel_ready = 1 ] && ! ls -l "/proc/${idle_pids[0]}/fd" 2>/dev/null | grep -q -- "-> $port_device\$"; then
    row 5 "idle: blinds-panel" "port not open, see $logs/idle-panel.log" "" "" ""
  fi
  for s in $(seq 0 "$idle_seconds"); do
    for i in "${!idle_pids[@]}"; do
      sample "${idle_pids[$i]}" >>"$work/idle-${idle_names[$i]}.txt"
    done
    [ "$s" -lt "$idle_seconds" ] && sleep 1
  done
  for i in "${!idle_pids[@]}"; do
    idle_rows "${idle_names[$i]}" "$work/idle-${idle_names[$i]}.txt"
  done
fi

# ---------------------------------------------------------------- the table
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(uname -sr), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
{
  printf '#\tfigure\tmedian\tp99\tgoal\tresult\n'
  printf '%s\n' "${rows[@]}"
} | awk -F'\t' '
  { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR }
  END {
    for (r = 1; r <= n; r++) {
      line = "|"
      for (i = 1; i <= 6; i++) line = line sprintf(" %-" w[i] "s |", cell[r, i])
      print line
      if (r == 1) {
        line = "|"
        for (i = 1; i <= 6; i++) { d = ""; for (k = 0; k < w[i] + 2; k++) d = d "-"; line = line d "|" }
        print line
      }
    }
  }'
