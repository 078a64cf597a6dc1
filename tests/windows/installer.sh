#!/usr/bin/env bash
# tests/windows/installer.sh BUILD_DIR QT_PREFIX
#
# Makes the NSIS installer from BUILD_DIR (a Windows build holding
# app/velmora.exe), installs it silently under wine as an administrator would,
# starts the installed program once, then removes it with its uninstaller:
# the program, its Start-menu entry, its uninstall entry and its
# start-with-Windows value go; the user's pictures, history and settings stay.
# Everything is read back from the files, the registry and the processes.
#
# Uses the caller's DISPLAY and WINEPREFIX (a virtual display and a warm
# prefix); without them it makes its own under BUILD_DIR.
set -euo pipefail

if (($# != 2)); then
    echo "usage: $0 BUILD_DIR QT_PREFIX" >&2
    exit 2
fi
build="$(cd "$1" && pwd)"
qt_prefix="$2"
if [[ ! -f "$build/app/velmora.exe" ]]; then
    echo "installer: $build/app/velmora.exe is missing: build it first (scripts/build-windows)" >&2
    exit 1
fi
if [[ ! -d "$qt_prefix/plugins" ]]; then
    echo "installer: $qt_prefix is not a Qt for Windows (no plugins folder)" >&2
    exit 1
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The installed program finds its DLLs and plugins on its own, or not at all.
unset WAYLAND_DISPLAY WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH
if [[ -z "${DISPLAY:-}" || -z "${WINEPREFIX:-}" ]]; then
    export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
    unset DISPLAY
    # A display and a wineserver of our own, gone when the test is.
    # shellcheck disable=SC2016 # expanded by the inner shell
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        setsid wineserver -p >/dev/null 2>&1 || true
        status=0
        "$0" "$@" || status=$?
        wineserver -k >/dev/null 2>&1 || true
        exit $status' "$0" "$build" "$qt_prefix"
fi

failures=0
fail() {
    echo "installer: FAILED: $*" >&2
    failures=$((failures + 1))
}
die() {
    echo "installer: FAILED: $*" >&2
    exit 1
}

# Processes of this wine prefix whose command line matches a pattern: other
# prefixes on the machine may run a velmora.exe of their own.
prefix_pids() {
    local pid
    for pid in $(pgrep -f "$1" || true); do
        if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
        fi
    done
}

no_process() { [[ -z "$(prefix_pids "$1")" ]]; }

# Waits, for at most about two minutes, until a command succeeds.
wait_for() {
    local tries=240
    until "$@"; do
        ((--tries > 0)) || return 1
        sleep 0.5
    done
}

program_pid=""
cleanup() {
    if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

win() { wine "$@" 2>/dev/null | tr -d '\r'; }
# A Windows environment folder as a unix path.
folder() { winepath -u "$(win cmd /c echo "%$1%")" 2>/dev/null; }
reg_value() { win reg query "$1" /v "$2" | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
has_key() { wine reg query "$@" >/dev/null 2>&1; }

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
settings_key='HKCU\Software\Velmora\WallpaperSettings\system'

# --- Make the installer.
rm -f "$build"/packages/velmora-*-win64.exe
(cd "$build" && cpack -G NSIS >"$build/cpack-nsis.log" 2>&1) || {
    tail -20 "$build/cpack-nsis.log" >&2
    die "cpack -G NSIS failed (log: $build/cpack-nsis.log)"
}
installers=("$build"/packages/velmora-*-win64.exe)
[[ -f "${installers[0]}" ]] || die "cpack made no velmora-<version>-win64.exe in $build/packages"
installer="${installers[0]}"
echo "installer: made $(basename "$installer") ($(du -k "$installer" | cut -f1) KiB)"

wine cmd /c exit >/dev/null 2>&1 || true
program_files="$(folder ProgramW6432)"
[[ -d "$program_files" ]] || program_files="$(folder ProgramFiles)"
install_dir="$program_files/Velmora"
start_menu="$(folder ProgramData)/Microsoft/Windows/Start Menu/Programs/Velmora"
data_dir="$(folder LOCALAPPDATA)/velmora"
# What an interrupted earlier run left in a kept prefix goes first.
if [[ -e "$install_dir" ]] || has_key "$uninstall_key"; then
    echo "installer: removing an installation left by an earlier run"
    rm -rf "$install_dir" "$start_menu"
    wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
fi
no_process 'velmora\.exe' || die "a velmora.exe is already running in $WINEPREFIX"

# The start-with-Windows switch is on for this user; any earlier entry goes,
# so that the one read back is the installed program's.
wine reg add "$settings_key" /v startupToggle /d true /f >/dev/null 2>&1
wine reg delete "$run_key" /v Velmora /f >/dev/null 2>&1 || true

# --- Install silently, as a deployment tool would.
wine "$installer" /S >/dev/null 2>&1 || die "the installer exited with status $?"
wait_for test -f "$install_dir/Uninstall.exe" || die "no $install_dir/Uninstall.exe after the installation"
for file in velmora.exe Qt6Core.dll Qt6Widgets.dll Qt6Network.dll libstdc++-6.dll libwinpthread-1.dll qt.conf \
    icon.png platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qjpeg.dll tls/qschannelbackend.dll; do
    [[ -f "$install_dir/$file" ]] || fail "the installation has no $file"
done
[[ -f "$start_menu/Velmora.lnk" ]] || fail "no Start-menu entry ($start_menu/Velmora.lnk)"
has_key "$uninstall_key" || fail "no uninstall entry ($uninstall_key)"
uninstall_string="$(win reg query "$uninstall_key" /v UninstallString | grep -o '"[^"]*"' || true)"
[[ "$uninstall_string" == '"C:\Program Files\Velmora\Uninstall.exe"' ]] ||
    fail "the uninstall entry names $uninstall_string"

# --- Start the installed program once, at log-on as it were; it registers
# itself to start with Windows and files its data in the user's profile.
installed_exe='C:\Program Files\Velmora\velmora.exe'
wine "$installed_exe" --startup >/dev/null 2>&1 &
program_pid=$!
run_value_names_program() { [[ "$(reg_value "$run_key" Velmora)" == "\"$installed_exe\" --startup" ]]; }
if ! wait_for run_value_names_program; then
    fail "the Run value is \"$(reg_value "$run_key" Velmora)\", not the installed program"
fi
wait_for test -d "$data_dir" || fail "the program made no data folder $data_dir"
kill -0 "$program_pid" 2>/dev/null || fail "the installed program did not keep running"
# What it loaded came from its own folder: the platform, the style and the
# TLS back-end of its first request, and nothing of the Qt it was built with.
loaded() {
    local pid
    for pid in $(prefix_pids 'velmora\.exe'); do
        grep -qF "$1" "/proc/$pid/maps" 2>/dev/null && return 0
    done
    return 1
}
installed_real="$(realpath "$install_dir")"
for file in platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll; do
    wait_for loaded "$installed_real/$file" || fail "the installed program did not load its own $file"
done
if loaded "$(realpath "$qt_prefix")/"; then fail "the installed program loaded files of $qt_prefix"; fi

# While it runs, the uninstaller refuses and leaves everything in place.
wine "$install_dir/Uninstall.exe" /S >/dev/null 2>&1 || true
wait_for no_process '~nsu.*Un\.exe' || fail "the uninstaller did not return while the program ran"
[[ -f "$install_dir/velmora.exe" && -f "$install_dir/Qt6Core.dll" ]] || fail "the uninstaller removed a running program"
has_key "$uninstall_key" || fail "the uninstaller dropped its entry while the program ran"
run_value_names_program || fail "the uninstaller dropped the Run value while the program ran"
# The program quits from its tray menu only; ending it is what matters here.
kill "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
program_pid=""
wait_for no_process 'velmora\.exe' || fail "the installed program is still running"

# The user's own things, as the program keeps them.
mkdir -p "$data_dir/wallpapers/installer-check" "$data_dir/history"
echo "a picture" >"$data_dir/wallpapers/installer-check/picture.bmp"
echo "2026-01-01 a change" >"$data_dir/history/installer-check.log"

# --- Remove it silently. The uninstaller copies itself into the temporary
# folder and returns at once; the copy does the work.
wine "$install_dir/Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller exited with status $?"
wait_for test ! -e "$install_dir" || fail "$install_dir is still there: $(cd "$install_dir" && find . -type f | head -5)"
wait_for no_process '~nsu.*Un\.exe' || fail "the uninstaller is still running"
if has_key "$uninstall_key"; then fail "the uninstall entry is still there"; fi
if [[ -n "$(reg_value "$run_key" Velmora)" ]]; then fail "the Run value is still there"; fi
[[ ! -e "$start_menu" ]] || fail "the Start-menu folder is still there"
[[ -f "$data_dir/wallpapers/installer-check/picture.bmp" ]] || fail "the user's pictures went with the program"
[[ -f "$data_dir/history/installer-check.log" ]] || fail "the user's history went with the program"
[[ "$(reg_value "$settings_key" startupToggle)" == "true" ]] || fail "the user's settings went with the program"
rm -rf "$data_dir/wallpapers/installer-check" "$data_dir/history/installer-check.log"

if ((failures)); then
    echo "installer: $failures check(s) failed" >&2
    exit 1
fi
echo "installer: installed and removed"
