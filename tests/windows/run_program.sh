#!/usr/bin/env bash
# Runs the whole Windows program, velmora.exe, under wine as a user would, against the real
# (Linux) velmora-service on 127.0.0.1, and reads back from the registry, the files and the
# processes what it did: the window and the tray icon, a change set through the Win32 wallpaper
# layer and filed in the change log, the start-with-Windows Run value written and removed, a
# second start handing over through the named pipe, and a WM_DISPLAYCHANGE re-applying the
# pictures after a hidden log-on start and after the window showed.
#
#   tests/windows/run_program.sh BUILD_DIR QT_PREFIX
#
# velmora.exe is built into BUILD_DIR-program with the service's origin and a local CA compiled
# in. DISPLAY and WINEPREFIX come from the caller; without them an Xvfb display and a wine
# prefix of this script's own are used. VELMORA_WINE_SERVICE=plain talks plain HTTP to the
# service instead of TLS (default "tls"). The Linux service comes from ${VELMORA_BUILD_DIR:-build}
# and is built there when missing. Every wait is a bounded poll on a condition, of at most
# VELMORA_WINE_WAIT seconds (60). VELMORA_WINE_KEEP=1 keeps the service's and the program's logs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
if [[ $# -lt 2 ]]; then
    echo "usage: $0 BUILD_DIR QT_PREFIX" >&2
    exit 2
fi
build="$(mkdir -p "$1" && cd "$1" && pwd)"
qt_prefix="$2"
program_build="$build-program"
linux_build="${VELMORA_BUILD_DIR:-$root/build}"
transport="${VELMORA_WINE_SERVICE:-tls}"
wait_limit="${VELMORA_WINE_WAIT:-60}"
case "$transport" in
tls) scheme=https ;;
plain) scheme=http ;;
*)
    echo "run_program: VELMORA_WINE_SERVICE must be tls or plain, not $transport" >&2
    exit 2
    ;;
esac

say() { echo "run_program: $*"; }

# --- Clean-up of everything started here -------------------------------------------------------

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-run-program.XXXXXX")"
service_pid=""
xvfb_pid=""
own_wineserver=""
program_pids=()

cleanup() {
    local pid
    for pid in "${program_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${program_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if [[ -n "$own_wineserver" ]]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [[ -n "$service_pid" ]]; then
        kill "$service_pid" 2>/dev/null || true
        wait "$service_pid" 2>/dev/null || true
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    if [[ -z "${VELMORA_WINE_KEEP:-}" ]]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Polls a command until it succeeds, for at most $wait_limit seconds.
wait_for() {
    local deadline=$((SECONDS + wait_limit))
    while ((SECONDS < deadline)); do
        if "$@"; then
            return 0
        fi
        sleep 0.3
    done
    "$@"
}

# --- The Linux service -------------------------------------------------------------------------

service_binary="$linux_build/service/velmora-service"
if [[ ! -x "$service_binary" ]]; then
    say "building velmora-service in $linux_build"
    VELMORA_BUILD_DIR="$linux_build" "$root/scripts/build" >/dev/null
fi

# The CA is made once per build folder, since it is compiled into velmora.exe; the service's
# certificate is made afresh for each run.
mkdir -p "$program_build"
pki="$program_build/service-ca"
# RSA, not ECDSA: wine's crypt32 rejects an ECDSA signature whose r or s has a leading zero byte
# (about one certificate in 128), which made this run fail at random on the service's fresh certificate.
keys=(-newkey rsa:2048 -nodes)
if [[ ! -s "$pki/ca.pem" ]] || ! openssl rsa -in "$pki/ca.key" -check -noout >/dev/null 2>&1; then
    rm -rf "$pki"
    mkdir -p "$pki"
    chmod 700 "$pki"
    openssl req -x509 "${keys[@]}" -keyout "$pki/ca.key" -out "$pki/ca.pem" -days 3650 \
        -subj "/CN=Velmora wine test CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
fi
openssl req "${keys[@]}" -keyout "$work/server.key" -out "$work/server.csr" -subj "/CN=127.0.0.1" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n' \
    >"$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
    -CAserial "$work/ca.srl" -out "$work/server.pem" -days 2 -extfile "$work/server.ext" 2>/dev/null

# A library of one category with a few small pictures published today.
library="$work/library"
mkdir -p "$library/hills/$(date +%F)"
printf '{"name": "Холмы"}\n' >"$library/hills/category.json"
for n in 1 2 3; do
    convert -size 320x180 -seed "$n" "plasma:fractal" "$library/hills/$(date +%F)/hills-$n.jpg"
done

# The port is compiled into the program: the last one is taken again when it is free, so that
# a second run does not rebuild.
start_service() {
    local port="$1"
    local arguments=(--library "$library" --address 127.0.0.1 --port "$port")
    if [[ "$transport" == plain ]]; then
        arguments+=(--plain)
    else
        arguments+=(--cert "$work/server.pem" --key "$work/server.key")
    fi
    : >"$work/service.out"
    "$service_binary" "${arguments[@]}" >"$work/service.out" 2>"$work/service.log" &
    service_pid=$!
    listening() { grep -q '^listening on ' "$work/service.out" || ! kill -0 "$service_pid" 2>/dev/null; }
    wait_for listening || true
    if grep -q '^listening on ' "$work/service.out"; then
        return 0
    fi
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
    service_pid=""
    return 1
}
last_port="$(cat "$program_build/service-port" 2>/dev/null || true)"
if ! [[ "$last_port" =~ ^[0-9]+$ ]] || ! start_service "$last_port"; then
    if ! start_service 0; then
        say "velmora-service did not start:"
        cat "$work/service.log" >&2
        exit 1
    fi
fi
port="$(sed -n 's|^listening on [a-z]*://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$work/service.out")"
echo "$port" >"$program_build/service-port"
origin="$scheme://127.0.0.1:$port"
say "service $(cat "$work/service.out")"

# --- velmora.exe -------------------------------------------------------------------------------

if [[ -d "$qt_prefix" ]]; then
    qt_prefix="$(cd "$qt_prefix" && pwd)"
fi
build_arguments=(-DVELMORA_BUILD_TESTS=OFF "-DVELMORA_SERVICE_ORIGIN=$origin" "-DVELMORA_SERVICE_CA=$pki/ca.pem")
if [[ -x "$root/scripts/build-windows" ]]; then
    VELMORA_WINDOWS_QT="$qt_prefix" VELMORA_WINDOWS_BUILD_DIR="$program_build" \
        "$root/scripts/build-windows" "${build_arguments[@]}" >"$work/build.log" 2>&1 ||
        { cat "$work/build.log" >&2; exit 1; }
    qt_prefix="$program_build/qt"
else
    "$qt_prefix/bin/qt-cmake" -S "$root" -B "$program_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVELMORA_BUILD_SERVICE=OFF \
        "${build_arguments[@]}" >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
    cmake --build "$program_build" --parallel "$(nproc)" --target velmora >>"$work/build.log" 2>&1 ||
        { cat "$work/build.log" >&2; exit 1; }
fi
app="$program_build/app"
exe="$app/velmora.exe"
[[ -f "$exe" ]] || { say "no velmora.exe in $app"; exit 1; }

# The plugins go beside the program, where a deployed program has them; the DLLs are found on
# WINEPATH.
for kind in platforms styles imageformats tls; do
    mkdir -p "$app/$kind"
    cp -u "$qt_prefix/plugins/$kind/"*.dll "$app/$kind/"
done
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
runtime_dirs=("$qt_prefix/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found="$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")"
    [[ "$found" == /* ]] && runtime_dirs+=("$(dirname "$found")")
done
winepath_list=""
for dir in "${runtime_dirs[@]}"; do
    winepath_list+="${winepath_list:+;}$(windows_path "$(cd "$dir" && pwd)")"
done
export WINEPATH="$winepath_list"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The program's own diagnostic lines go to its log rather than to the debugger (wine hands
# WINEQT_* to Windows programs as QT_*).
export WINEQT_FORCE_STDERR_LOGGING=1

probe="$program_build/probe.exe"
if [[ ! -f "$probe" || "$root/tests/windows/probe.cpp" -nt "$probe" ]]; then
    x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -static -o "$probe" "$root/tests/windows/probe.cpp" -lgdi32
fi

# --- Display and wine prefix -------------------------------------------------------------------

if [[ -z "${DISPLAY:-}" ]]; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    display_known() { [[ -s "$work/display" ]] || ! kill -0 "$xvfb_pid" 2>/dev/null; }
    wait_for display_known
    display_number="$(tr -dc '0-9' <"$work/display")"
    [[ -n "$display_number" ]] || { say "Xvfb did not start"; cat "$work/xvfb.log" >&2; exit 1; }
    export DISPLAY=":$display_number"
fi
unset WAYLAND_DISPLAY
if [[ -z "${WINEPREFIX:-}" ]]; then
    export WINEPREFIX="$program_build/wineprefix"
    own_wineserver=1
fi
mkdir -p "$WINEPREFIX"
setsid wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true

run_probe() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }
reg_value() { # KEY NAME: prints the value's data, or fails when it is not there
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | grep . || return 1
}
desktop='HKCU\Control Panel\Desktop'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Velmora\WallpaperSettings'

# A prefix shared with other runs starts from nothing of ours; a velmora.exe already running
# there would take the starts below over.
if [[ -n "$(run_probe windows)" ]]; then
    say "a velmora.exe already runs in $WINEPREFIX; nothing was checked"
    exit 1
fi
profile_unix() {
    local windows
    windows="$(wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r\n')"
    winepath -u "$windows" 2>/dev/null | tr -d '\n'
}
local_appdata="$(profile_unix LOCALAPPDATA)"
roaming_appdata="$(profile_unix APPDATA)"
if [[ "$local_appdata" != /?* || "$roaming_appdata" != /?* ]]; then
    say "the prefix's data folders could not be found (\"$local_appdata\", \"$roaming_appdata\")"
    exit 1
fi
wine reg delete 'HKCU\Software\Velmora' /f >/dev/null 2>&1 || true
wine reg delete "$run_key" /v Velmora /f >/dev/null 2>&1 || true
rm -rf "$local_appdata"/[Vv]elmora "$roaming_appdata"/[Vv]elmora
run_probe clear-wallpaper || true
wine reg add "$desktop" /v WallpaperStyle /t REG_SZ /d 0 /f >/dev/null

started_program=""
start_program() { # ARGS...: starts velmora.exe in the background
    local log="$work/velmora-$((${#program_pids[@]} + 1)).log"
    (cd "$app" && exec wine "$exe" "$@" >"$log" 2>&1) &
    started_program=$!
    program_pids+=("$started_program")
}
stop_program() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

passed=()
failed=()
pass() { passed+=("$1"); say "ok: $1"; }
fail() { failed+=("$1"); say "FAILED: $1: $2"; }

# --- First start, by the user ------------------------------------------------------------------

tray_before=""
if run_probe tray; then
    tray_before=1
fi
start_program
first="$started_program"

# The window shows: a viewable X window named Velmora on the display (xwininfo, of x11-utils),
# or, without xwininfo, a visible top-level window as Windows sees it.
window_viewable() {
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "Velmora": .*/\1/p'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
    done
    return 1
}
shown() { run_probe shown; }
if command -v xwininfo >/dev/null; then
    window_check=window_viewable
else
    say "no xwininfo (x11-utils): the window is looked for through Win32 only"
    window_check=shown
fi
if wait_for "$window_check"; then
    pass "window"
else
    fail "window" "no visible window named Velmora on $DISPLAY after a start"
fi

tray_shown() { run_probe tray; }
if [[ -n "$tray_before" ]]; then
    fail "tray" "wine's tray window showed before velmora.exe started: another program holds an icon"
elif wait_for tray_shown; then
    pass "tray"
else
    fail "tray" "wine's tray window never showed: no icon was added"
fi

# The start-with-Windows switch is on by default, and a start writes the value afresh.
run_value_written() { reg_value "$run_key" Velmora | grep -qi 'velmora\.exe.*--startup'; }
run_written=""
if wait_for run_value_written; then
    run_written=1
fi

# A change-now click: the composite goes through SPI with the span style.
composite_set() {
    local value
    value="$(reg_value "$desktop" Wallpaper)" || return 1
    [[ "$value" =~ \.[bB][mM][pP]$ ]]
}
clicked() { run_probe click-change-now >"$work/button"; }
# The click waits for the category list, which the program caches once it has it.
categories_loaded() { [[ -s "$local_appdata/velmora/cache/categories_cache.json" ]]; }
wait_for categories_loaded || say "the category list never came; clicking all the same"
change_ok=""
wallpaper_value=""
if ! wait_for clicked; then
    fail "change applied" "no change-now button found in the window ($(cat "$work/button"))"
elif wait_for composite_set; then
    wallpaper_value="$(reg_value "$desktop" Wallpaper)"
    style="$(reg_value "$desktop" WallpaperStyle || true)"
    composite_file="$(winepath -u "$wallpaper_value" 2>/dev/null | tr -d '\n')"
    if [[ "$style" != 22 ]]; then
        fail "change applied" "WallpaperStyle is \"$style\", not \"22\" (Wallpaper $wallpaper_value)"
    elif [[ ! -s "$composite_file" ]]; then
        fail "change applied" "Wallpaper names $wallpaper_value, which is no file"
    else
        change_ok=1
    fi
else
    fail "change applied" "after a click on the change-now button ($(cat "$work/button")) Wallpaper never named a BMP: \"$(reg_value "$desktop" Wallpaper || true)\""
fi

# The change log under the Windows data folder names the picture and the trigger.
change_logged() {
    local found
    found="$(grep -rlsa --include='*.log' 'Manuel' "$local_appdata"/[Vv]elmora "$roaming_appdata"/[Vv]elmora || true)"
    [[ -n "$found" ]] && echo "${found%%$'\n'*}"
}
if [[ -n "$change_ok" ]]; then
    if wait_for change_logged >"$work/log-file"; then
        log_file="$(cat "$work/log-file")"
        say "change log: $log_file: $(tail -n 1 "$log_file")"
        pass "change applied ($wallpaper_value)"
    else
        change_ok=""
        fail "change applied" "no change log naming the trigger \"Manuel\" under $local_appdata/velmora"
    fi
fi

# A display change re-applies each screen's last picture. The wallpaper is cleared first; the
# re-application sets it again (for one screen, the screen's own picture). The message is posted
# again now and then, as Windows sends one per change, so that a program still starting gets it;
# never more often than every few seconds, since each message restarts the program's wait for
# the display to settle (half a second), and a stream of them would hold the re-application off.
last_post=-100
wallpaper_reapplied() {
    local value
    if ((SECONDS - last_post >= 3)); then
        run_probe display-change >"$work/posted" || return 1
        last_post=$SECONDS
    fi
    value="$(run_probe wallpaper)" || return 1
    [[ -n "$value" ]]
}
display_change() { # WHEN
    if [[ -z "$change_ok" ]]; then
        fail "display change" "not tried $1: no change was applied, so there is nothing to re-apply"
        return 1
    fi
    run_probe clear-wallpaper
    last_post=-100
    if [[ -n "$(run_probe wallpaper)" ]]; then
        fail "display change" "the wallpaper could not be cleared before the display change $1"
        return 1
    fi
    if ! wait_for wallpaper_reapplied; then
        fail "display change" "WM_DISPLAYCHANGE posted to the $(cat "$work/posted" 2>/dev/null || echo no) top-level window(s) of velmora.exe $1 set no wallpaper; its windows:
$(run_probe windows)"
        return 1
    fi
    say "display change $1 set $(run_probe wallpaper)"
}
display_shown_ok=""
if display_change "to the shown window"; then
    display_shown_ok=1
fi
# The start-with-Windows switch turned off in the settings tab takes the value away at once;
# apply stores the switch.
settings_tab() { run_probe click-settings-tab >"$work/tab"; }
switch_shown() { run_probe startup-switch >"$work/switch"; }
applied() { run_probe click-apply >"$work/apply"; }
run_value_gone() { ! reg_value "$run_key" Velmora >/dev/null; }
switch_stored_off() { [[ "$(reg_value "$settings_key\\system" startupToggle)" == false ]]; }
if [[ -z "$run_written" ]]; then
    fail "Run key" "no Velmora value with --startup under $run_key after a start"
elif ! wait_for settings_tab; then
    fail "Run key" "no settings tab found in the window ($(cat "$work/tab"))"
elif ! wait_for switch_shown; then
    fail "Run key" "the start-with-Windows switch, on, never showed in the settings tab ($(cat "$work/switch"))"
elif ! run_probe click-startup-switch >/dev/null; then
    fail "Run key" "the click on the start-with-Windows switch could not be sent"
elif ! wait_for run_value_gone; then
    fail "Run key" "the Velmora value stayed under $run_key with the switch turned off"
elif ! wait_for applied || ! wait_for switch_stored_off; then
    fail "Run key" "apply did not store the switch off ($(cat "$work/apply"))"
else
    pass "Run key"
fi
stop_program "$first"

# --- Second start: at log-on, hidden ----------------------------------------------------------

# The first one's tray icon goes with it; the second one's shows once it is up.
tray_hidden() { ! run_probe tray; }
wait_for tray_hidden || say "wine's tray window still shows after the first velmora.exe ended"
# The global key stored in the settings is owned from the start.
wine reg add "$settings_key\\control" /v globalShortcut /t REG_SZ /d 'Ctrl+Alt+F9' /f >/dev/null
start_program --startup
hidden="$started_program"
wait_for tray_shown || say "wine's tray window did not show for the hidden start"

# A display change reaches even the window that never showed.
display_hidden_ok=""
if display_change "after a hidden start"; then
    display_hidden_ok=1
fi

# Changes logged "Manuel", over every monitor's log.
manual_changes() {
    find "$local_appdata"/[Vv]elmora "$roaming_appdata"/[Vv]elmora -name '*.log' -exec cat {} + 2>/dev/null |
        grep -ac '\[Manuel\]' || true
}
# The global key: owned by the hidden program, and its WM_HOTKEY changes the wallpaper.
manual_before="$(manual_changes)"
key_taken() { run_probe hotkey-taken >/dev/null; }
# Posted again now and then (a program still starting may miss one), not on every poll: each
# one starts a change afresh.
last_key=-100
hotkey_changed() {
    if ((SECONDS - last_key >= 10)); then
        run_probe hotkey >/dev/null || return 1
        last_key=$SECONDS
    fi
    (($(manual_changes) > manual_before))
}
if ! wait_for key_taken; then
    fail "global key" "Ctrl+Alt+F9, stored in the settings, was never owned by velmora.exe"
elif ! wait_for hotkey_changed; then
    fail "global key" "WM_HOTKEY posted to velmora.exe logged no new change (still $(manual_changes) \"Manuel\" lines)"
else
    pass "global key"
fi

# Commands through the named pipe: --status answers JSON naming the monitors, --next changes,
# a bad one leaves with 2 and an error.
command_status=0
(cd "$app" && wine "$exe" --status >"$work/status.json" 2>"$work/status.err") || command_status=$?
manual_before="$(manual_changes)"
next_status=0
(cd "$app" && wine "$exe" --next >"$work/next.out" 2>&1) || next_status=$?
next_changed() { (($(manual_changes) > manual_before)); }
bad_status=0
(cd "$app" && wine "$exe" --pause soon >/dev/null 2>"$work/bad.err") || bad_status=$?
if [[ "$command_status" != 0 ]] || ! grep -q '"screens"' "$work/status.json"; then
    fail "commands" "--status left with $command_status printing: $(head -c 300 "$work/status.json") $(head -c 300 "$work/status.err")"
elif [[ "$next_status" != 0 ]] || ! wait_for next_changed; then
    fail "commands" "--next left with $next_status ($(head -c 300 "$work/next.out")) and logged no new change"
elif [[ "$bad_status" != 2 ]] || ! grep -aq 'not a duration' "$work/bad.err"; then
    fail "commands" "--pause soon left with $bad_status: $(head -c 300 "$work/bad.err")"
else
    pass "commands"
fi

# A further start hands over to the running one through the named pipe and leaves; the running
# one shows its window.
start_program
further="$started_program"
further_ended() { ! kill -0 "$further" 2>/dev/null; }
if wait_for further_ended; then
    further_status=0
    wait "$further" || further_status=$?
    if [[ "$further_status" != 0 ]]; then
        fail "one instance" "the second velmora.exe left with status $further_status"
    elif ! kill -0 "$hidden" 2>/dev/null; then
        fail "one instance" "the running velmora.exe is gone"
    elif wait_for shown; then
        pass "one instance"
    else
        fail "one instance" "the running velmora.exe did not show its window"
    fi
else
    fail "one instance" "the second velmora.exe still runs after ${wait_limit} s"
fi
stop_program "$hidden"

if [[ -n "$display_hidden_ok" && -n "$display_shown_ok" ]]; then
    pass "display change"
fi

# --- The line CI shows -------------------------------------------------------------------------

order=(window tray "change applied" "Run key" "one instance" "display change" "global key" "commands")
line=()
for name in "${order[@]}"; do
    for item in "${passed[@]}"; do
        if [[ "$item" == "$name" || "$item" == "$name ("* ]]; then
            line+=("$item")
        fi
    done
done
joined="$(printf '%s, ' "${line[@]}")"
joined="${joined%, }"
if ((${#failed[@]} > 0)); then
    for log in "$work"/velmora-*.log; do
        echo "--- the last lines of $(basename "$log"):"
        grep -av '^ *$' "$log" | tail -n 15
    done
    say "failed: $(printf '%s; ' "${failed[@]}")"
fi
if [[ -n "${VELMORA_WINE_KEEP:-}" ]]; then
    say "logs kept in $work"
fi
echo "program: $joined"
((${#failed[@]} == 0))
