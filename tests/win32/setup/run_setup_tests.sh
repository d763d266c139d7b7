#!/usr/bin/env bash
# Walks the table of Setup's cases (setup_cases.sh) under an X display:
#   run_setup_tests.sh WIN32_TREE [WORD]   (WORD: only the rows naming it)
# WIN64_TREE=<64-bit tree> runs the rows of 64-bit Windows instead, and DIST_DIR=<make dist's folder> adds the
# release zip's. SETUP_PREFIXES moves the prefixes from wine32-setup (wine64-setup) beside the tree. Screenshots
# go to <tree>/screenshots.
set -uo pipefail

tree=$(cd "$1" && pwd) only=${2:-} here=$(cd "$(dirname "$0")" && pwd)
win64_tree=${WIN64_TREE:+$(cd "$WIN64_TREE" && pwd)} dist_dir=${DIST_DIR:+$(cd "$DIST_DIR" && pwd)} arch=win32
[ -z "$win64_tree" ] || arch=win64
driver=$tree/tests/win32/setup/setup_driver.exe
fake=$tree/tests/win32/setup/fake_component.dll
real=$tree/Zarnocrypt.dll real64=${win64_tree:+$win64_tree/Zarnocrypt.dll}
prefixes=${SETUP_PREFIXES:-$(dirname "$tree")/wine${arch#win}-setup}
shots=${win64_tree:-$tree}/screenshots
version=v$(sed -n 's/^project(Zarnocrypt VERSION \([0-9]*\.[0-9]*\).*/\1/p' "$here/../../../CMakeLists.txt")
url=https://zarnocrypt.example/

# English button texts in message boxes, whatever the shell's locale.
export WINEARCH=$arch WINEDEBUG=-all LC_ALL=C.UTF-8
unset WINEPREFIX

quiet() { "$@" 2>/dev/null | tr -d '\r'; }
drive() { quiet wine "$driver" "$@"; }

# Made once (wineboot takes seconds) and copied per row. Wine draws the window
# frames itself, with the fonts of fonts-wine (Debian's Wine doesn't find
# them by itself); the https handler is the driver, which logs the address.
make_template() (
    export WINEPREFIX=$prefixes/template
    local stamp="$(wine --version) $driver fonts"
    [ "$(cat "$WINEPREFIX/.setup-tests" 2>/dev/null)" == "$stamp" ] && return
    rm -rf "$WINEPREFIX" && mkdir -p "$prefixes" && wineboot -i >/dev/null 2>&1
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
    quiet wine reg add 'HKCR\https\shell\open\command' /ve /f /d "\"Z:${driver//\//\\}\" record-url \"%1\"" >/dev/null
    wineserver -k; wineserver -w
    echo "$stamp" >"$WINEPREFIX/.setup-tests"
)

at() {  # at PLACE WHAT: PLACE's Zarnocrypt.dll is fake, real, real64 or a line of text
    mkdir -p "${!1}"
    case $2 in fake | real | real64) cp "${!2}" "${!1}/Zarnocrypt.dll" ;; *) echo "$2" >"${!1}/Zarnocrypt.dll" ;; esac
}
value() { drive "value=$1" >/dev/null; }
elsewhere() {  # Setup started as C:\Program\NAME, with the stand-in beside it
    program="$WINEPREFIX/drive_c/Program/$1"
    mkdir -p "${program%/*}" && cp "$tree/Setup.exe" "$program" && cp "$fake" "${program%/*}/Zarnocrypt.dll"
}
hold() {  # hold WINDOWS_PATH: a program has the file open (and logs "held") while the row runs
    wine "$driver" hold "$1" >/dev/null 2>&1 &
    for _ in {1..100}; do grep -qs held "$WINEPREFIX/drive_c/setup-test.log" && break; sleep 0.1; done
}
unpack_release() {  # the zip unpacked, Setup started in its folder
    (cd "$work" && cmake -E tar xf "$dist_dir"/Zarnocrypt-*.zip)
    work=$(ls -d "$work"/Zarnocrypt-*) && x64=$work/x64 && program=$work/Setup.exe
    real=$work/Zarnocrypt.dll real64=$x64/Zarnocrypt.dll
}

start_setup() {
    (cd "$work" && exec wine "$program" >/dev/null 2>&1) &
    setup_pid=$!
}

# Setup ends by itself after Install, Uninstall, Exit, Esc and the close box.
wait_setup() {
    local tries=0
    while kill -0 "$setup_pid" 2>/dev/null && [ $((tries += 1)) -le 300 ]; do sleep 0.1; done
    kill -0 "$setup_pid" 2>/dev/null && echo "Setup still running" && kill "$setup_pid"
    wait "$setup_pid" 2>/dev/null
}

what() {  # which known file FILE is, or its text
    local known
    [ -d "$1" ] && echo folder && return
    for known in fake real real64; do
        [ -n "${!known}" ] && cmp -s "$1" "${!known}" && echo "$known" && return
    done
    head -c 40 "$1" | tr -d '\n'
}

# The copies present, the log of regsvr32's calls and opened web addresses,
# and the registry, each only when there is one.
report() {
    local place out=() log=$WINEPREFIX/drive_c/setup-test.log
    for place in sys sys64 work x64; do
        [ -n "${!place}" ] && [ -e "${!place}/Zarnocrypt.dll" ] && out+=("$place=$(what "${!place}/Zarnocrypt.dll")")
    done
    [ -e "$log" ] && out+=("log=$(tr -d '\r' <"$log" | paste -sd';')")
    out+=("$(drive registry)")
    echo "${out[*]}" | sed 's/ *$//'
}

# What each script host makes of the component: its version, or the error.
hosts() {
    cd "$WINEPREFIX/drive_c" && printf '%s\r\n' 'On Error Resume Next' \
        'WScript.Echo CreateObject("Zarnocrypt.Crypter").GetVersionString()' \
        'If Err.Number <> 0 Then WScript.Echo "error " & Hex(Err.Number)' >version.vbs
    echo "host32=$(version wine) host64=$(version /usr/lib/wine/wine64)"
}
# On a busy machine Wine's launcher now and then fails to start cscript.
version() { quiet "$1" cscript //nologo version.vbs || quiet "$1" cscript //nologo version.vbs; }

# The example in both hosts (its lines with the version, the decrypted forms
# and the two failures), then the CLI decrypting the message it wrote.
demo() {
    local host output
    for host in wine /usr/lib/wine/wine64; do
        output=$(cd "$work/examples" && quiet "$host" cscript //nologo demo.vbs)
        echo "$(grep -c "^Zarnocrypt.Crypter $version\$" <<<"$output")" \
            "$(grep -c "^Decrypt: $plain\$" <<<"$output")" \
            "$(grep -c 'Decrypt with another key: *error &H80040198 .*from Zarnocrypt.Crypter$' <<<"$output")" \
            "$(grep -c 'Encrypt without a key: *error &H80040197 .*from Zarnocrypt.Crypter$' <<<"$output")"
    done
    (cd "$work/examples" && quiet /usr/lib/wine/wine64 cscript //nologo demo.vbs message.txt >/dev/null)
    (cd "$work" && ZARNOCRYPT_KEY="correct horse" quiet wine zarnocrypt.exe decrypt examples/message.txt) && echo
}
plain="Meet me at the old mill at noon, and bring the map of the river crossing with you."

screenshot() {
    mkdir -p "$shots" && sleep 0.5  # let the dialog finish painting
    import -window root "$shots/$1.png" && convert "$shots/$1.png" -trim +repage "$shots/$1.png"
}

# One row, in a subshell: its preparation may change anything.
run_case() (  # NAME PREPARATION STEPS
    export WINEPREFIX=$prefixes/$1
    trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
    rm -rf "$WINEPREFIX" && cp -a "$prefixes/template" "$WINEPREFIX" && wineserver -p 2>/dev/null
    # Setup's own system directory; under WOW64 sys64 is the native one.
    sys=$WINEPREFIX/drive_c/windows/system32 sys64=""
    [ $arch == win32 ] || sys64=$sys sys=$WINEPREFIX/drive_c/windows/syswow64
    work="$WINEPREFIX/drive_c/Setup Files" program=$tree/Setup.exe x64=$work/x64  # a blank in the path on purpose
    mkdir -p "$work" && eval "$2"
    start_setup
    local step batch=()
    for step in $3 @end; do
        [[ $step == @* ]] || { batch+=("$step"); continue; }
        [ ${#batch[@]} -eq 0 ] || drive "${batch[@]}"; batch=()
        case $step in
            @shot:*) screenshot "${step#@shot:}" ;;
            @report) report ;;
            @start) wait_setup; start_setup ;;
            @hosts) wait_setup; hosts ;;
            @demo) wait_setup; demo ;;
            @end) wait_setup; report ;;
        esac
    done
)

passed=0 failed=0
row() {  # NAME PREPARATION STEPS EXPECTED_DIALOGS EXPECTED_END_STATE
    [[ -z "$only" || "$1" == *"$only"* ]] || return 0
    local expected=${4:+$4 / }$5 actual start=$SECONDS
    actual=$(run_case "$1" "$2" "$3" | awk 'NR > 1 { printf " / " } { printf "%s", $0 }')
    if [ "$actual" == "$expected" ]; then
        passed=$((passed + 1)) && printf 'ok   %-22s %3d s\n' "$1" $((SECONDS - start))
    else
        failed=$((failed + 1)) && printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$expected" "$actual"
    fi
}

make_template
[ -n "$only" ] || rm -rf "$shots"
. "$here/setup_cases.sh"
echo "Setup tests ($arch): $passed passed, $failed failed"
[ "$failed" -eq 0 ]
