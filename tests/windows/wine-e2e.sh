#!/usr/bin/env bash
# End-to-end run of the Windows package under Wine and Xvfb, with COM12 mapped onto the
# pseudo-terminal of the Linux instrument simulator and COM1 onto a second one serving other
# instruments (where a name cut to four characters would lead):
#   1. the first start writes config.ini byte for byte as the Linux build does, and the port
#      dialog 通讯设置 lists COM12 last (after COM1, COM2); chosen, it stands whole in
#      config.ini, and the pseudo-terminal shows 9600 baud, 1 stop bit; the other baud
#      indexes of config.ini give the other rates of the table;
#   2. with instruments 1 and 3 switched on and a baud index outside the table, the next start
#      opens COM12 at the line's own rate, and rows with the simulator's values arrive in
#      Data\yyyy\mm\dd.csv under the 110-byte GBK header; a second start in the folder ends
#      after its box;
#   3. the simulator's line taken away stops the rows, and given back they resume.
# Usage: tests/windows/wine-e2e.sh [--screenshot FILE] [STAGED_DIR]
# STAGED_DIR holds presmon.exe with its DLLs (default: build-win/presmon-win64, as scripts/windows
# stages it). Prints one result line; "skipped: <why>" (exit 0) when Wine, Xvfb or the staged
# program is absent.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PRESMON_BUILD:-$top/build}
shot=""
if [ "${1:-}" = "--screenshot" ]; then
    shot=$(realpath -m "$2")
    shift 2
fi
stage=${1:-}
# Generous: a first Wine start on a busy two-core machine can take a minute by itself.
wait_s=${PRESMON_WINE_WAIT:-180}
started=$SECONDS

skip() {
    echo "wine-e2e: skipped: $*"
    exit 0
}
for tool in wine wineserver Xvfb xdotool iconv stty; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
if [ -z "$stage" ]; then
    for exe in "$top"/build-win/presmon-win64/presmon.exe "$top"/build-win/*/presmon.exe; do
        [ -f "$exe" ] && [ -f "$(dirname "$exe")/Qt6Core.dll" ] && stage=$(dirname "$exe") && break
    done
fi
[ -n "$stage" ] && [ -f "$stage/presmon.exe" ] || skip "no staged presmon.exe (run scripts/windows)"
[ -x "$build/presmon" ] && [ -x "$build/presmon-sim" ] ||
    skip "no Linux build of presmon and presmon-sim in $build"

tmp=$(mktemp -d /tmp/presmon-wine-e2e.XXXXXX)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
app="" sim="" xvfb="" linux="" decoy=""
cleanup() {
    local rc=$?
    [ -n "$decoy" ] && kill "$decoy" 2>/dev/null
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$linux" ] && kill "$linux" 2>/dev/null
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    [ -n "$sim" ] && kill "$sim" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    if [ "$rc" -eq 0 ] || [ -z "${PRESMON_KEEP:-}" ]; then rm -rf "$tmp"; else echo "kept $tmp"; fi
}
trap cleanup EXIT
fail() {
    echo "wine-e2e: FAILED after $((SECONDS - started)) s: $*"
    [ -f "$tmp/wine.log" ] && tail -n 15 "$tmp/wine.log"
    exit 1
}
# wait_until WHAT COMMAND...: polls the condition until it holds or the deadline passes.
wait_until() {
    local what=$1 until=$((SECONDS + wait_s))
    shift
    until "$@"; do
        [ $SECONDS -lt $until ] || fail "no $what within $wait_s s"
        [ -z "$app" ] || kill -0 "$app" 2>/dev/null || fail "presmon.exe ended while waiting for $what"
        sleep 0.25
    done
}

# The simulator's pseudo-terminal, reached through a symlink that survives its restart.
link=$tmp/ttySIM0
start_sim() {
    "$build/presmon-sim" --addresses 1,3 --link "$link" >>"$tmp/sim.log" 2>&1 &
    sim=$!
    wait_until "simulator link" test -e "$link"
}
start_sim
"$build/presmon-sim" --addresses 2,4 --link "$tmp/ttyDECOY" >>"$tmp/sim.log" 2>&1 &
decoy=$!
wait_until "decoy link" test -e "$tmp/ttyDECOY"
# line_is SPEED: the line settings as the pseudo-terminal's side sees them. A pseudo-terminal
# holds 8 data bits without parity whatever is set: the rate and the stop bits tell.
line_is() {
    local s
    s=$(stty -F "$link" -a) || return 1
    [[ $s == *"speed $1 baud"* && $s == *" -cstopb "* ]]
}
# Settings that the open must change (all but an out-of-table rate, which it keeps).
stty -F "$link" 38400 cstopb

# The Linux build's default config.ini, the reference for the bytes.
mkdir "$tmp/linux"
cp "$build/presmon" "$tmp/linux/"
QT_QPA_PLATFORM=offscreen "$tmp/linux/presmon" >"$tmp/linux.log" 2>&1 &
linux=$!
# The default writer's last key; each write replaces the file whole.
wait_until "Linux default config.ini" grep -qs '^PresYn=1000' "$tmp/linux/config.ini"
kill "$linux"
wait "$linux" 2>/dev/null || true
linux=""

# A fresh prefix, COM12 onto the simulator's link (read by the wineserver at its start).
{
    wineboot -i
    wine reg add 'HKLM\Software\Wine\Ports' /v COM12 /d "$link" /f
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$tmp/ttyDECOY" /f
    # Windows' own faces (Tahoma for the dialogs, Arial for the panels) are not in a bare Wine:
    # the host's stand-ins, so that digits and ℃ are drawn as on Windows.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /d 'DejaVu Sans' /f
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'DejaVu Sans' /f
    wineserver -k
} >>"$tmp/wine.log" 2>&1 || fail "preparing the Wine prefix"
# Its own server, kept to the end: it lists all its objects on its output when the pty hangs up.
wineserver -p >"$tmp/wineserver.log" 2>&1

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>>"$tmp/xvfb.log" &
xvfb=$!
wait_until "Xvfb display" test -s "$tmp/display"
DISPLAY=:$(cat "$tmp/display")
export DISPLAY

mkdir "$tmp/app"
cp -r "$stage"/. "$tmp/app/"
rm -rf "$tmp/app/config.ini" "$tmp/app/Data"
cfg=$tmp/app/config.ini
start_app() {
    (cd "$tmp/app" && exec wine presmon.exe) >>"$tmp/wine.log" 2>&1 &
    app=$!
}
window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window "$1")" ]; }

# 1. First start: default config.ini, then the port dialog with its first port preselected.
start_app
wait_until "port dialog 通讯设置" has_window 通讯设置
cmp "$tmp/linux/config.ini" "$cfg" || fail "default config.ini differs from the Linux build's"
[ -n "$shot" ] && import -window root "$tmp/dialog.png"
# The last port (End in the focused port list) and Enter, again every few seconds should a
# slow start have missed them.
pressed=-10
confirmed() {
    grep -qa $'^comid=COM12\r$' "$cfg" && return 0
    grep -qa $'^comid=[^\r]' "$cfg" && fail "$(grep -a '^comid=' "$cfg" | tr -d '\r') stored, not COM12"
    local dialog
    dialog=$(window 通讯设置)
    if [ -n "$dialog" ] && [ $((SECONDS - pressed)) -ge 5 ]; then
        xdotool windowfocus --sync "$dialog" key End Return 2>/dev/null || true
        pressed=$SECONDS
    fi
    return 1
}
wait_until "comid=COM12 in config.ini after choosing COM12 in 通讯设置" confirmed
line_is 9600 || fail "COM12 not at 9600 baud, 1 stop bit: $(stty -F "$link" | tr "\n" " ")"
# Closed as by the window's close button: the shutdown writes the record switches.
stop_app() {
    wine taskkill /IM presmon.exe >>"$tmp/wine.log" 2>&1 || true
    local ended=$app
    app=""
    wait_until "end of the run" bash -c "! kill -0 $ended 2>/dev/null"
}
stop_app
# The rest of the rate table, each rate another than the one before.
for entry in 0:1200 1:2400 2:4800 4:19200; do
    LC_ALL=C sed -i "s/^baudrate=[0-9]*\r\$/baudrate=${entry%:*}\r/" "$cfg"
    start_app
    wait_until "COM12 at ${entry#*:} baud for baud index ${entry%:*}" line_is "${entry#*:}"
    stop_app
done

# 2. Instruments 1 and 3 switched on, baud index 7; the second start opens COM12 without asking.
LC_ALL=C sed -i -e '/^\[OpenOrClose\]/,/^\[/{s/^1=0\r$/1=1\r/;s/^3=0\r$/3=1\r/}' \
    -e 's/^baudrate=[0-9]*\r$/baudrate=7\r/' "$cfg"
grep -qa $'^3=1\r$' "$cfg" && grep -qa $'^baudrate=7\r$' "$cfg" ||
    fail "could not switch instruments 1 and 3 on and set baud index 7"
stty -F "$link" 2400 cstopb
# For the picture only: the pressure axis to 100 and instrument 3 in green, as in scripts/demo.
[ -n "$shot" ] && LC_ALL=C sed -i -e 's/^PresYn=1000\r$/PresYn=100\r/' \
    -e '/^\[LineColorPress\]/,/^\[/s/^3=255\r$/3=32768\r/' "$cfg"
start_app
csv_file() { find "$tmp/app/Data" -name '*.csv' 2>/dev/null | sort | tail -n1; }
# Rows with the simulator's values for 1 (pressure 60 +- 10 %, temperature 21 +- 2) and 3
# (80 +- 10 %, 23 +- 2), the others "0.0"; prints their count.
good_rows() {
    local f
    f=$(csv_file)
    [ -n "$f" ] || { echo 0; return; }
    tail -n +2 "$f" | tr -d '\r' | awk -F, -v since="${1:-00000000}" '
        function near(v, c, d) { return v ~ /^[0-9]+\.[0-9]+$/ && v >= c - d && v <= c + d }
        NF == 19 && ($1 "") >= (since "") && near($3, 60, 7) && near($4, 21, 2.5) &&
        near($7, 80, 9) && near($8, 23, 2.5) {
            ok = 1
            for (i = 5; i <= 18; i++) if (i != 7 && i != 8 && $i != "0.0") ok = 0
            n += ok
        }
        END { print n + 0 }'
}
rows_at_least() { [ "$(good_rows "${2:-}")" -ge "$1" ]; }
wait_until "3 rows of instruments 1 and 3 in Data" rows_at_least 3
csv=$(csv_file)
case ${csv#"$tmp/app/"} in
Data/[0-9][0-9][0-9][0-9]/[01][0-9]/[0-3][0-9].csv) ;;
*) fail "daily file at ${csv#"$tmp/app/"}" ;;
esac
header=$(printf '%s' "数据编号,时间,压力1,温度1,压力2,温度2,压力3,温度3,压力4,温度4,压力5,温度5,压力6,温度6,压力7,温度7,压力8,温度8," | iconv -f UTF-8 -t GBK | xxd -p | tr -d '\n')
[ $((${#header} / 2)) -eq 110 ] || fail "reference header is not 110 bytes"
[ "$(head -c 112 "$csv" | xxd -p | tr -d '\n')" = "${header}0d0a" ] ||
    fail "header of ${csv#"$tmp/app/"} is not the 110-byte GBK header"
line_is 2400 || fail "baud index 7 did not keep the line's 2400 baud (1 stop bit): $(stty -F "$link" | tr "\n" " ")"
# A second start in the same folder says so in a box and, confirmed, ends without a main
# window of its own; the first runs on.
(cd "$tmp/app" && exec wine presmon.exe) >>"$tmp/wine.log" 2>&1 &
second=$!
box() { xdotool search --onlyvisible --pid "$second" 2>/dev/null | head -n1; }
has_box() { [ -n "$(box)" ]; }
wait_until "the second start's box" has_box
xdotool windowfocus --sync "$(box)" key Return 2>/dev/null || true
wait_until "end of the second start" bash -c "! kill -0 $second 2>/dev/null"
[ "$(xdotool search --onlyvisible --name '^压力仪表监控软件$' | wc -l)" -eq 1 ] ||
    fail "the second start opened a main window"
if [ -n "$shot" ]; then
    wait_until "30 rows for the picture" rows_at_least 30
    main=$(window 压力仪表监控软件)
    [ -n "$main" ] || fail "main window 压力仪表监控软件 not found"
    import -window "$main" "$shot"
fi

# 3. The line taken away: the rows stop (a lost line is closed, nothing frozen is recorded).
size_now() { stat -c %s "$csv"; }
rows_before=$(($(wc -l <"$csv") - 1))
kill "$sim"
wait "$sim" 2>/dev/null || true
sim=""
lost_at=$SECONDS
last_size=$(size_now) last_change=$SECONDS
quiet_for() {
    local s
    s=$(size_now)
    if [ "$s" != "$last_size" ]; then last_size=$s last_change=$SECONDS; fi
    [ $((SECONDS - last_change)) -ge "$1" ]
}
# A healthy run adds a row every second; eight seconds without one is a stop.
frozen() {
    local n
    n=$(tail -n 12 "$csv" | cut -d, -f3- | sort -u | wc -l)
    [ "$n" -eq 1 ] && echo " (rows went on with the last values, frozen)"
}
until quiet_for 8; do
    [ $((SECONDS - lost_at)) -lt "$wait_s" ] ||
        fail "rows did not stop within $wait_s s after the line went away$(frozen)"
    sleep 0.25
done
rows_late=$(($(wc -l <"$csv") - 1 - rows_before))
import -window root "$tmp/lost.png" # the status line, for a kept run

# ... and given back: new rows with fresh values, stamped (local clock) after the return.
tz=$(date +%z)
offset=$((10#${tz:1:2} * 3600 + 10#${tz:3:2} * 60))
[ "${tz:0:1}" = - ] && offset=$((-offset))
back=$(printf '%08X' $(($(date +%s) + offset)))
start_sim
wait_until "rows after the line came back" rows_at_least 3 "$back"
echo "wine-e2e: passed in $((SECONDS - started)) s: default config.ini as on Linux, 通讯设置 took" \
    "COM12 whole at 9600 baud 1 stop bit, the rate table, index 7 kept 2400, a second start" \
    "ended at its box, $rows_before rows of instruments 1 and 3 under the GBK header; line taken away:" \
    "$rows_late more rows, then none; given back: $(good_rows "$back") fresh rows"
