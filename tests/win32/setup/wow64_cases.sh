# Sourced by run_setup_tests.sh: the cases of 64-bit Windows and the release.
# 64-bit Windows (WIN64_TREE): Setup, a 32-bit program, runs under WOW64. Its
# system directory is SysWOW64; the 64-bit DLL goes into the native System32.

wine64_reg() { /usr/lib/wine/wine64 reg "$@" 2>/dev/null | tr -d '\r'; }
default_value64() {  # the 64-bit view's class key default value, or "(absent)"
    local out
    out=$(wine64_reg query "${1:-$class_key}" /ve) || { echo "(absent)"; return; }
    sed -n 's/^ *(Default) *REG_SZ *//p' <<<"$out"
}
lower() { tr '[:upper:]' '[:lower:]'; }

# What each script host makes of the component: its version, or the error.
host_reports() {  # host_reports wine|/usr/lib/wine/wine64
    cat >"$work/version.vbs" <<'VBS'
On Error Resume Next
WScript.Echo CreateObject("Zarnocrypt.Crypter").GetVersionString()
If Err.Number <> 0 Then WScript.Echo "error " & Hex(Err.Number)
VBS
    (cd "$work" && "$1" cscript //nologo version.vbs 2>/dev/null | tr -d '\r')
}

begin_wow64_case() {  # begin_wow64_case NAME: the 32-bit DLL in the working directory
    begin_case "$1"
    syswow64=$WINEPREFIX/drive_c/windows/syswow64
    native32=$WINEPREFIX/drive_c/windows/system32
    cp "$real_dll" "$work/Zarnocrypt.dll"
}

case_wow64_install() {
    begin_wow64_case wow64_install
    mkdir -p "$work/x64"
    cp "$real_dll64" "$work/x64/Zarnocrypt.dll"
    start_setup
    check "state" "$(state)" "$not_installed_state"
    drive click 1000 >/dev/null
    check "success prompt after both registrations" "$(drive message | tr '\n' '|')" "$success_prompt"
    check "32-bit copy in SysWOW64" "$(cmp -s "$real_dll" "$syswow64/Zarnocrypt.dll" && echo same)" same
    check "64-bit copy in System32" "$(cmp -s "$real_dll64" "$native32/Zarnocrypt.dll" && echo same)" same
    check "64-bit view: the System32 copy" "$(default_value64 "$class_key\\InprocServer32" | lower)" \
        'c:\windows\system32\zarnocrypt.dll'
    check "32-bit view registered" "$(default_value)" "Crypter Class"
    drive answer no >/dev/null
    wait_setup_exit
    check "32-bit host" "$(host_reports wine)" "v2.1"
    check "64-bit host" "$(host_reports /usr/lib/wine/wine64)" "v2.1"

    start_setup
    check "installed state" "$(state)" "$installed_state"
    drive click 1001 >/dev/null
    wait_setup_exit
    check "32-bit view removed" "$(default_value)" "(absent)"
    check "64-bit view removed" "$(default_value64)" "(absent)"
    check "32-bit copy deleted" "$(file_state "$syswow64/Zarnocrypt.dll")" absent
    check "64-bit copy deleted" "$(file_state "$native32/Zarnocrypt.dll")" absent
    check "working copies kept" "$(file_state "$work/Zarnocrypt.dll") $(file_state "$work/x64/Zarnocrypt.dll")" \
        "present present"
    check "64-bit host after Uninstall" "$(host_reports /usr/lib/wine/wine64)" "error 1AD"
    end_case
}

# Without x64\Zarnocrypt.dll Setup does what it does on 32-bit Windows.
case_wow64_without_x64() {
    begin_wow64_case wow64_without_x64
    start_setup
    drive click 1000 >/dev/null
    check "success prompt" "$(drive message | tr '\n' '|')" "$success_prompt"
    drive answer no >/dev/null
    wait_setup_exit
    check "32-bit host" "$(host_reports wine)" "v2.1"
    check "64-bit view untouched" "$(default_value64)" "(absent)"
    check "nothing in System32" "$(file_state "$native32/Zarnocrypt.dll")" absent
    end_case
}

# A 64-bit file that regsvr32 can't load fails the install.
case_wow64_x64_fails() {
    begin_wow64_case wow64_x64_fails
    mkdir -p "$work/x64"
    echo "not a DLL" >"$work/x64/Zarnocrypt.dll"
    start_setup
    drive click 1000 >/dev/null
    check "failure message" "$(drive message | tr '\n' '|')" \
        "caption=Setup|text=Zarnocrypt has failed.|buttons=OK|icon=yes|"
    drive answer ok >/dev/null
    wait_setup_exit
    check "64-bit view not registered" "$(default_value64)" "(absent)"
    check "the copy stays" "$(file_state "$native32/Zarnocrypt.dll")" present
    end_case
}

# What examples/demo.vbs showed: the version, the decrypted forms, the two
# failures, and the count of other lines.
demo_summary() {  # demo_summary LOADER (in the examples folder)
    local output
    output=$("$1" cscript //nologo demo.vbs 2>/dev/null | tr -d '\r')
    printf '%s|' "$(grep -c '^Zarnocrypt.Crypter v2.1$' <<<"$output")" \
        "$(grep -c '^Decrypt: Meet me at the old mill at noon, and bring the map of the river crossing with you.$' \
            <<<"$output")" \
        "$(grep -c 'Decrypt with another key: *error &H80040198 .*from Zarnocrypt.Crypter$' <<<"$output")" \
        "$(grep -c 'Encrypt without a key: *error &H80040197 .*from Zarnocrypt.Crypter$' <<<"$output")"
}

# The release as a user gets it: the zip unpacked on a fresh 64-bit machine,
# Setup run in its folder, the example in both script hosts, the CLI
# decrypting what a script encrypted.
case_dist_install() {
    begin_wow64_case dist_install
    rm -f "$work/Zarnocrypt.dll"
    local zip
    zip=$(ls "$dist_dir"/Zarnocrypt-*.zip)
    (cd "$work" && cmake -E tar xf "$zip")
    work=$(ls -d "$work"/Zarnocrypt-*)
    start_setup "$work/Setup.exe"
    drive click 1000 >/dev/null
    check "success prompt" "$(drive message | tr '\n' '|')" "$success_prompt"
    drive answer no >/dev/null
    wait_setup_exit
    check "32-bit copy in SysWOW64" "$(cmp -s "$work/Zarnocrypt.dll" "$syswow64/Zarnocrypt.dll" && echo same)" same
    check "64-bit copy in System32" "$(cmp -s "$work/x64/Zarnocrypt.dll" "$native32/Zarnocrypt.dll" && echo same)" same
    local demo
    demo=$(cd "$work/examples" && demo_summary wine)
    check "demo.vbs in the 32-bit host" "$demo" "1|3|1|1|"
    demo=$(cd "$work/examples" && demo_summary /usr/lib/wine/wine64)
    check "demo.vbs in the 64-bit host" "$demo" "1|3|1|1|"
    (cd "$work/examples" && /usr/lib/wine/wine64 cscript //nologo demo.vbs message.txt >/dev/null 2>&1)
    check "the CLI decrypts the example's message" \
        "$(cd "$work" && ZARNOCRYPT_KEY="correct horse" wine_quiet zarnocrypt.exe decrypt examples/message.txt)" \
        "Meet me at the old mill at noon, and bring the map of the river crossing with you."
    end_case
}
