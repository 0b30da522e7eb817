#!/usr/bin/env bash
# Soak test (not part of CI): the program, offscreen, with auto-read every
# 100 ms against the D2XX simulator while it injects one fault after another:
# dropped replies, stalls, wrong completion bytes, noise, short replies, and
# the board unplugged and plugged in again. Each phase is one run of the
# program; all phases together take the given number of seconds (default
# 600). Checks: no crash, no stretch without bus traffic longer than the
# time-outs allow, resident memory flat, the settings file intact. Then, as
# long again, the board unplugged and replugged every 10 s on the USB tty and
# the serial paths (REPLUG_SECONDS changes how long): every cycle must show
# the board lost and find it again.
# Usage: scripts/soak.sh [seconds] [build-dir]   (build the program first)
set -euo pipefail
cd "$(dirname "$0")/.."
total="${1:-600}"
build="$(cd "${2:-build}" && pwd)"
program="$build/bin/rar4120e-evkit"
[[ -x "$program" ]] || { echo "no $program: build it first" >&2; exit 2; }

# Longest quiet stretch allowed: one register read waits at most the overall
# read time-out (500 ms) plus the idle one; a stalled reply at most its delay.
max_quiet_s=3
# Growth allowed between the first sample after warm-up and the last.
max_growth_kb=4096

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
settings="$work/RAR4120E.ini"
cat >"$settings" <<'INI'
[Application]
autoreadTimeout=100
autoRead=true

[Device]
Address=0x2A
INI
cp "$settings" "$work/settings.orig"

common="record_traffic = false"
phases=(
    "drops|fault = no_reply
fault.after = 20
fault.times = 2
fault.period = 60"
    "stalls|fault = stall
fault.bytes = 1
fault.delay_us = 300000
fault.after = 20
fault.times = 1
fault.period = 60"
    "wrong-completion|fault = wrong_completion
fault.after = 10
fault.times = 3
fault.period = 40"
    "noise|fault = noise
fault.bytes = 3
fault.after = 10
fault.times = 3
fault.period = 40"
    "short|fault = cut
fault.bytes = 1
fault.after = 10
fault.times = 3
fault.period = 40"
    "unplug-replug|unplug_after = 400
replug_after_ms = 2000"
)
per_phase=$((total / ${#phases[@]}))
((per_phase >= 20)) || per_phase=20

env_run() {
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen "$@"
}

failures=0
report="$work/report"
: >"$report"
for phase in "${phases[@]}"; do
    name="${phase%%|*}"
    printf '%s\n%s\n' "$common" "${phase#*|}" >"$work/$name.cfg"
    trace="$work/$name.trace"
    (cd "$work" && exec env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
        QT_QPA_PLATFORM=offscreen "$program" --simulator \
        --simulator-config "$work/$name.cfg" --trace >"$trace" 2>"$work/$name.err") &
    pid=$!
    start=$(date +%s)
    lines_before=0
    quiet=0
    longest_quiet=0
    rss_first=""
    rss_last=0
    rss_max=0
    alive=1
    while (($(date +%s) - start < per_phase)); do
        sleep 1
        if ! kill -0 "$pid" 2>/dev/null; then
            alive=0
            break
        fi
        rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
        lines=$(wc -l <"$trace")
        if ((lines == lines_before)); then quiet=$((quiet + 1)); else quiet=0; fi
        ((quiet > longest_quiet)) && longest_quiet=$quiet
        lines_before=$lines
        # Memory is compared from the first quarter on, after start-up and
        # the first page reads.
        if [[ -z "$rss_first" ]] && (($(date +%s) - start >= per_phase / 4)); then
            rss_first=$rss
        fi
        rss_last=$rss
        ((rss > rss_max)) && rss_max=$rss
    done
    status="ok"
    if ((alive == 0)); then
        wait "$pid" && code=0 || code=$?
        status="DIED (status $code)"
    else
        kill -TERM "$pid"
        wait "$pid" || true
    fi
    events=$(grep -c '^event' "$trace" || true)
    failed=$(grep -c '^event.* ok=0' "$trace" || true)
    growth=$((rss_last - ${rss_first:-$rss_last}))
    # Once the board is gone the program is idle by design: it reconnects
    # only when asked, so quiet stretches count only in the other phases.
    if [[ "$name" != unplug-replug ]] && ((longest_quiet > max_quiet_s)); then
        status="QUIET ${longest_quiet}s"
    fi
    ((growth > max_growth_kb)) && status="MEMORY +${growth} kB"
    if ! cmp -s "$settings" "$work/settings.orig"; then status="SETTINGS CHANGED"; fi
    [[ "$status" == ok ]] || failures=$((failures + 1))
    printf '%-17s %4ss  events %7s  failed %6s  longest quiet %2ss  RSS %6s -> %6s kB (max %6s)  %s\n' \
        "$name" "$per_phase" "$events" "$failed" "$longest_quiet" "${rss_first:-?}" "$rss_last" \
        "$rss_max" "$status" | tee -a "$report"
done

# A clean close under faults must save a settings file that reads back.
printf '%s\n%s\n' "$common" "${phases[0]#*|}" >"$work/close.cfg"
printf 'readbyte 2A 00\nreadbyte 2A 02\n' >"$work/close.scr"
if (cd "$work" && env_run timeout 60 "$program" --simulator --simulator-config "$work/close.cfg" \
    --run-script "$work/close.scr" --quit-after >/dev/null 2>&1) &&
    grep -qx 'autoreadTimeout=100' "$settings" && grep -qx 'autoRead=true' "$settings" &&
    grep -qx 'Address=0x2A' "$settings"; then
    echo "clean close: settings saved and intact" | tee -a "$report"
else
    echo "clean close: FAILED" | tee -a "$report"
    cat "$settings"
    failures=$((failures + 1))
fi
# Unplug and replug on the kernel-driver USB tty and on the serial path at
# once: podlink-sim stopped and started every 10 s behind the same path, the
# board link reading throughout (scripts/replug.py).
replug_seconds="${REPLUG_SECONDS:-$total}"
python3 scripts/replug.py serial "$replug_seconds" 10 "$build" >"$work/replug-serial" 2>&1 &
serial_pid=$!
python3 scripts/replug.py usb-tty "$replug_seconds" 10 "$build" >"$work/replug-usb" 2>&1 ||
    failures=$((failures + 1))
wait "$serial_pid" || failures=$((failures + 1))
cat "$work/replug-serial" "$work/replug-usb" | tee -a "$report"

((failures == 0)) && echo "soak: passed" || echo "soak: $failures failure(s)"
exit $((failures > 0))
