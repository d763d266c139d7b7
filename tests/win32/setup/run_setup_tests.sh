#!/usr/bin/env bash
# Setup's dialog tests: each case starts Setup.exe in a fresh Wine prefix,
# works it through setup_driver.exe as a user would and checks what it left
# in the prefix's file system and registry. Runs on an X display (xvfb-run)
# and writes screenshots of the dialogs to <tree>/screenshots.
#
#   run_setup_tests.sh BUILD_WIN32_TREE [WORD]   (WORD: only the cases naming it)
#
# With WIN64_TREE=<64-bit build tree> in the environment the cases of 64-bit
# Windows run instead, in 64-bit prefixes: Setup under WOW64 installing the
# 64-bit DLL of that tree beside the 32-bit one; with DIST_DIR=<make dist's
# folder> too, the release zip unpacked, installed and its examples run.
set -uo pipefail

tree=$(cd "$1" && pwd)
win64_tree=""
[ -z "${WIN64_TREE:-}" ] || win64_tree=$(cd "$WIN64_TREE" && pwd)
arch=win32
[ -z "$win64_tree" ] || arch=win64
only=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
programs=$tree/tests/win32/setup
setup_exe=$tree/Setup.exe
driver=$programs/setup_driver.exe
fake_dll=$programs/fake_component.dll
failing_dll=$programs/failing_component.dll
real_dll=$tree/Zarnocrypt.dll
prefixes=$(dirname "$tree")/wine${arch#win}-setup
template=$prefixes/template
shots=${win64_tree:-$tree}/screenshots
url=https://zarnocrypt.example/

# English button texts in message boxes, whatever the shell's locale.
export WINEARCH=$arch WINEDEBUG=-all LC_ALL=C.UTF-8
unset WINEPREFIX
# A case cut short still stops its prefix's wineserver.
trap '[ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null' EXIT

passed=0
failed=0
case_name=""

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
wine_quiet() { wine "$@" 2>/dev/null | tr -d '\r'; }
drive() { wine_quiet "$driver" "$@"; }

check() {  # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" == "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL %s: %s\n  expected: %s\n  actual:   %s\n' "$case_name" "$1" "$3" "$2"
    fi
}

# The template is made once (wineboot takes seconds) and copied per case.
# Wine draws the window frames itself (there is no window manager), with the
# fonts of fonts-wine (Debian's Wine doesn't find them by itself), and the
# https handler is the driver, which records the address it was given.
make_template() {
    local stamp
    stamp="$(wine --version) $driver fonts"
    [ -f "$template/.setup-tests" ] && [ "$(cat "$template/.setup-tests")" == "$stamp" ] && return
    rm -rf "$template"
    mkdir -p "$prefixes"
    (
        export WINEPREFIX=$template
        wineboot -i >/dev/null 2>&1
        cp /usr/share/wine/fonts/* "$template/drive_c/windows/Fonts/" 2>/dev/null
        wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
        wine_quiet reg add 'HKCR\https\shell\open\command' /ve /f \
            /d "\"$(windows_path "$driver")\" record-url \"%1\"" >/dev/null
        wineserver -k
        wineserver -w
    )
    echo "$stamp" >"$template/.setup-tests"
}

class_key=""

begin_case() {
    case_name=$1
    case_start=$(date +%s%N)
    export WINEPREFIX=$prefixes/$case_name
    rm -rf "$WINEPREFIX"
    cp -a "$template" "$WINEPREFIX"
    system32=$WINEPREFIX/drive_c/windows/system32
    work="$WINEPREFIX/drive_c/Setup Files"   # a blank in the path on purpose
    mkdir -p "$work"
    wineserver -p 2>/dev/null
    [ -n "$class_key" ] || class_key="HKCR\\CLSID\\$(drive clsid)"
}

end_case() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$WINEPREFIX"
    local ms=$((($(date +%s%N) - case_start) / 1000000))
    printf '%-24s %d.%d s\n' "$case_name" $((ms / 1000)) $((ms % 1000 / 100))
}

start_setup() {  # start_setup [PROGRAM]
    (cd "$work" && exec wine "${1:-$setup_exe}" >/dev/null 2>&1) &
    setup_pid=$!
    check "main dialog opens" "$(drive wait-main)" "caption=Setup"
}

# Setup ends by itself after Install, Uninstall, Exit, Esc and the close box.
wait_setup_exit() {
    local tries=0
    while kill -0 "$setup_pid" 2>/dev/null && [ $tries -lt 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if kill -0 "$setup_pid" 2>/dev/null; then
        check "Setup ended" "still running" "ended"
        kill "$setup_pid" 2>/dev/null
    fi
    wait "$setup_pid" 2>/dev/null
}

state() { drive state | tr '\n' ' '; }
not_installed_state="install=shown,enabled uninstall=shown,disabled exit=shown,enabled dialog=enabled "
installed_state="install=hidden,disabled uninstall=shown,enabled exit=shown,enabled dialog=enabled "

default_value() {  # the class key's default value, or "(absent)"
    local out
    out=$(wine_quiet reg query "${1:-$class_key}" /ve) || { echo "(absent)"; return; }
    sed -n 's/^ *(Default) *REG_SZ *//p' <<<"$out"
}
key_exists() { wine_quiet reg query "$1" >/dev/null && echo yes || echo no; }
set_installed_value() { wine_quiet reg add "$class_key" /ve /d "$1" /f >/dev/null; }
file_state() { [ -e "$1" ] && echo present || echo absent; }
test_log() { cat "$WINEPREFIX/drive_c/setup-test.log" 2>/dev/null | tr -d '\r' | tr '[:upper:]' '[:lower:]' | tr '\n' ';'; }

screenshot() {
    mkdir -p "$shots"
    sleep 0.5   # let the dialog finish painting
    import -window root "$shots/$1.png" && convert "$shots/$1.png" -trim +repage "$shots/$1.png"
}

# Registered as regsvr32 would leave it: the class key and both copies.
prepare_installed() {
    cp "$fake_dll" "$system32/Zarnocrypt.dll"
    cp "$fake_dll" "$work/Zarnocrypt.dll"
    set_installed_value "Crypter Class"
}

# ---------------------------------------------------------------------------

case_first_start() {
    begin_case first_start
    start_setup
    check "state" "$(state)" "$not_installed_state"
    check "tab order" "$(drive tabstops)" "1000 1001 1 1003 "
    check "web address field" "$(drive texts | grep '^1003=')" "1003=$url"
    screenshot main-not-installed
    drive about >/dev/null
    check "About box" "$(drive about-box | tr '\n' '|')" \
        "caption=About Setup|Static=Setup Version 1.0|Static=Copyright (C) Zarnocrypt|Button=OK|"
    screenshot about
    drive close-about ok >/dev/null
    sleep 0.3
    check "About box closed" "$(drive owned)" "owned=0"
    drive about >/dev/null
    drive close-about escape >/dev/null
    drive about >/dev/null
    drive close-about close-box >/dev/null
    sleep 0.3
    check "About box closed by Esc and close box" "$(drive owned)" "owned=0"
    check "state after About" "$(state)" "$not_installed_state"
    drive click 1 >/dev/null
    wait_setup_exit
    check "class key" "$(default_value)" "(absent)"
    end_case
}

# The class key's default value decides; 49 characters fit the 50-byte
# buffer, 50 don't.
case_installed_state() {  # NAME VALUE|-(no value) EXPECTED_STATE
    begin_case "state_$1"
    if [ "$2" == "-" ]; then
        wine_quiet reg add "$class_key" /f >/dev/null
    else
        set_installed_value "$2"
    fi
    start_setup
    check "state" "$(state)" "$3"
    [ "$1" == crypter_class ] && screenshot main-installed
    drive click 1 >/dev/null
    wait_setup_exit
    end_case
}

case_install_without_file() {  # NAME PROGRAM_FILE_NAME EXPECTED_CAPTION
    begin_case "$1"
    # The program's own folder holds the component; only the working
    # directory counts.
    local program_dir="$WINEPREFIX/drive_c/Program"
    mkdir -p "$program_dir"
    cp "$setup_exe" "$program_dir/$2"
    cp "$fake_dll" "$program_dir/Zarnocrypt.dll"
    start_setup "$program_dir/$2"
    drive click 1000 >/dev/null
    check "message" "$(drive message | tr '\n' '|')" \
        "caption=$3|text=Cannot find file: Zarnocrypt.dll|buttons=OK|icon=yes|"
    drive answer ok >/dev/null
    sleep 0.3
    check "dialog still open, unchanged" "$(state)" "$not_installed_state"
    drive close-box >/dev/null
    wait_setup_exit
    check "nothing copied" "$(file_state "$system32/Zarnocrypt.dll")" absent
    check "nothing registered" "$(default_value)" "(absent)"
    end_case
}

success_prompt="caption=Setup|text=Zarnocrypt has been set up successfully.||Do you want to visit the Zarnocrypt web site at $url?|buttons=&Yes,&No|icon=yes|"

case_install() {  # NAME DLL ANSWER
    begin_case "$1"
    local dll=$2
    echo "an older copy" >"$system32/Zarnocrypt.dll"
    cp "$dll" "$work/Zarnocrypt.dll"
    start_setup
    drive click 1000 >/dev/null
    # The prompt comes only after regsvr32 has registered the copy.
    check "success prompt" "$(drive message | tr '\n' '|')" "$success_prompt"
    check "registered while the prompt shows" "$(default_value)" "Crypter Class"
    check "older copy overwritten" "$(cmp -s "$dll" "$system32/Zarnocrypt.dll" && echo same)" same
    check "the installed copy is the one registered" \
        "$(default_value "$class_key\\InprocServer32" | tr '[:upper:]' '[:lower:]')" \
        'c:\windows\system32\zarnocrypt.dll'
    drive answer "$3" >/dev/null
    wait_setup_exit
    local opened
    opened=$(tr -d '\r' 2>/dev/null <"$WINEPREFIX/drive_c/opened-url.txt")
    if [ "$3" == yes ]; then
        check "web page opened" "$opened" "$url"
    else
        check "no web page opened" "$opened" ""
    fi
    check "working copy kept" "$(file_state "$work/Zarnocrypt.dll")" present
    if [ "$dll" == "$real_dll" ]; then
        check "ProgID registered" "$(default_value 'HKCR\Zarnocrypt.Crypter')" "Crypter Class"
        # A second start sees it installed; Uninstall takes it all away.
        start_setup
        check "installed state after Install" "$(state)" "$installed_state"
        drive click 1001 >/dev/null
        wait_setup_exit
        check "class key removed" "$(default_value)" "(absent)"
        check "ProgID removed" "$(key_exists 'HKCR\Zarnocrypt.Crypter')" no
        check "installed copy deleted" "$(file_state "$system32/Zarnocrypt.dll")" absent
        check "working copy kept after Uninstall" "$(file_state "$work/Zarnocrypt.dll")" present
    fi
    end_case
}

case_install_fails() {  # NAME DLL EXPECTED_LOG [SETUP_STEP]
    begin_case "$1"
    cp "$2" "$work/Zarnocrypt.dll"
    eval "${4:-:}"
    start_setup
    drive click 1000 >/dev/null
    check "failure message" "$(drive message | tr '\n' '|')" \
        "caption=Setup|text=Zarnocrypt has failed.|buttons=OK|icon=yes|"
    drive answer ok >/dev/null
    wait_setup_exit
    check "what regsvr32 did" "$(test_log)" "$3"
    check "nothing registered" "$(default_value)" "(absent)"
    check "the copy stays" "$(cmp -s "$2" "$system32/Zarnocrypt.dll" && echo same)" same
    end_case
}

case_uninstall() {
    begin_case uninstall
    prepare_installed
    start_setup
    check "state" "$(state)" "$installed_state"
    drive click 1001 >/dev/null
    # No message: Setup ends by itself, and only once both regsvr32 runs
    # (each taking most of a second in the stand-in) are over.
    wait_setup_exit
    check "both copies unregistered, installed one first" "$(test_log)" \
        'unregister c:\windows\system32\zarnocrypt.dll;unregister c:\setup files\zarnocrypt.dll;'
    check "class key removed" "$(default_value)" "(absent)"
    check "installed copy deleted" "$(file_state "$system32/Zarnocrypt.dll")" absent
    check "working copy kept" "$(file_state "$work/Zarnocrypt.dll")" present
    end_case
}

case_uninstall_nothing() {
    begin_case uninstall_nothing
    set_installed_value "Crypter Class"
    start_setup
    drive click 1001 >/dev/null
    wait_setup_exit
    check "no regsvr32 run" "$(test_log)" ""
    check "class key left alone" "$(default_value)" "Crypter Class"
    end_case
}

case_leave() {  # HOW: 1 (Exit), escape, close-box
    begin_case "leave_$1"
    prepare_installed
    start_setup
    if [ "$1" == exit ]; then drive click 1 >/dev/null; else drive "$1" >/dev/null; fi
    wait_setup_exit
    check "no regsvr32 run" "$(test_log)" ""
    check "class key unchanged" "$(default_value)" "Crypter Class"
    check "installed copy unchanged" "$(cmp -s "$fake_dll" "$system32/Zarnocrypt.dll" && echo same)" same
    check "working copy unchanged" "$(cmp -s "$fake_dll" "$work/Zarnocrypt.dll" && echo same)" same
    end_case
}

# On 32-bit Windows a shipped 64-bit DLL is left alone: the stand-in alone
# is registered, and the unloadable x64 file doesn't fail the install.
case_x64_ignored_on_32bit() {
    begin_case x64_ignored_on_32bit
    cp "$fake_dll" "$work/Zarnocrypt.dll"
    mkdir -p "$work/x64"
    echo "not a DLL" >"$work/x64/Zarnocrypt.dll"
    start_setup
    drive click 1000 >/dev/null
    check "success prompt" "$(drive message | tr '\n' '|')" "$success_prompt"
    drive answer no >/dev/null
    wait_setup_exit
    check "only the 32-bit copy registered" "$(test_log)" 'register c:\windows\system32\zarnocrypt.dll;'
    end_case
}

# The cases of 64-bit Windows (WIN64_TREE) and of the release (DIST_DIR).
# shellcheck source=wow64_cases.sh
. "$(dirname "$0")/wow64_cases.sh"

# ---------------------------------------------------------------------------

run() { [[ -z "$only" || "$*" == *"$only"* ]] && "$@"; }

make_template
[ -n "$only" ] || rm -rf "$shots"

if [ -n "$win64_tree" ]; then
    real_dll64=$win64_tree/Zarnocrypt.dll
    run case_wow64_install
    run case_wow64_without_x64
    run case_wow64_x64_fails
    if [ -n "${DIST_DIR:-}" ]; then
        dist_dir=$(cd "$DIST_DIR" && pwd)
        run case_dist_install
    fi
    echo "Setup tests on 64-bit Windows: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
fi

run case_first_start
run case_installed_state crypter_class "Crypter Class" "$installed_state"
run case_installed_state value_49 "$(printf 'x%.0s' {1..49})" "$installed_state"
run case_installed_state value_50 "$(printf 'x%.0s' {1..50})" "$not_installed_state"
run case_installed_state empty_value "" "$not_installed_state"
run case_installed_state no_value - "$not_installed_state"
run case_install_without_file missing_file Setup.exe Setup
run case_install_without_file renamed_program "Zarnocrypt Installer.exe" "Zarnocrypt Installer"
run case_install install_answer_no "$fake_dll" no
run case_install install_answer_yes "$fake_dll" yes
if [ -f "$real_dll" ]; then
    run case_install install_component "$real_dll" no
else
    echo "note: $real_dll not built yet; the install round trip with the component is skipped"
fi
run case_install_fails register_fails "$failing_dll" 'register-fails c:\windows\system32\zarnocrypt.dll;'
# A stand-in that would register: only the missing regsvr32 can fail here.
run case_install_fails regsvr32_missing "$fake_dll" "" 'rm -f "$system32/regsvr32.exe"'
run case_x64_ignored_on_32bit
run case_uninstall
run case_uninstall_nothing
run case_leave exit
run case_leave escape
run case_leave close-box

echo "Setup tests: $passed passed, $failed failed; screenshots in $shots"
[ "$failed" -eq 0 ]
