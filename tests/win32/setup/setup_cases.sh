# shellcheck shell=bash disable=SC2154  # sourced by run_setup_tests.sh, which sets the shared names
# Setup's cases: each row prepares a fresh Wine prefix, starts Setup, works it
# through setup_driver.exe and compares what it showed and left behind.
#
#   row NAME 'PREPARATION' 'STEPS' "EXPECTED DIALOGS" "EXPECTED END STATE"
#
# PREPARATION is shell: `at PLACE WHAT` puts a Zarnocrypt.dll into work (the
# working directory), x64 (its x64\), sys (Setup's system directory) or sys64
# (the native one under WOW64); `value TEXT` sets the class key's value;
# `elsewhere NAME` starts Setup as another program; `unpack_release`.
# STEPS are the driver's and @report (the state now), @start (again, once
# Setup has ended), @hosts, @demo, @shot:NAME. EXPECTED DIALOGS is their
# output joined by " / "; EXPECTED END STATE the report once Setup has ended:
# the copies present, the log of regsvr32's calls and web pages, the registry.

not="Setup: install=on uninstall=off exit=on dialog=on"
installed="Setup: install=hidden uninstall=on exit=on dialog=on"
success="Setup{(icon);[&Yes];[&No];Zarnocrypt has been set up successfully.||\
Do you want to visit the Zarnocrypt web site at $url?}"
failure="Setup{(icon);[OK];Zarnocrypt has failed.}"
missing="{(icon);[OK];Cannot find file: Zarnocrypt.dll}"
in_use="Setup{(icon);[OK];Zarnocrypt.dll is in use. Close the programs that use it and run Setup again.}"
kept="Setup{(icon);[OK];Zarnocrypt could not be unregistered, so its file has been kept.}"
about="About Setup{(icon);Setup Version 1.0;Copyright (C) Zarnocrypt;[OK]}"
prepared='at sys fake; at work fake; value "Crypter Class"'  # as regsvr32 leaves it
sys32='C:\windows\system32\Zarnocrypt.dll'
x49=$(printf 'x%.0s' {1..49})
x50=${x49}x

if [ $arch == win32 ]; then
row first_start '' \
    'state tabs @shot:main-not-installed about box @shot:about ok about escape about close-box state exit' \
    "$not / tabs: 1000=Install 1001=Uninstall 1=Exit 1003=$url / $about / $not" ""
# The class key's default value decides; 49 characters fit the 50-byte buffer.
row state_crypter_class 'value "Crypter Class"' 'state @shot:main-installed exit' "$installed" "key=Crypter Class"
row state_value_49 'value $x49' 'state exit' "$installed" "key=$x49"
row state_value_50 'value $x50' 'state exit' "$not" "key=$x50"
row state_empty_value 'value ""' 'state exit' "$not" "key="
row state_no_value 'drive empty-key' 'state exit' "$not" ""
row missing_file 'elsewhere Setup.exe' 'install box ok state close-box' "Setup$missing / $not" ""
row renamed_program 'elsewhere "Zarnocrypt Installer.exe"' 'install box ok state close-box' \
    "Zarnocrypt Installer$missing / $not" ""
# The prompt comes only once regsvr32 has registered the copy, which
# replaced an older one.
row install_answer_no 'at sys old; at work fake' 'install box @report no' \
    "$success / sys=fake work=fake log=register $sys32 key=Crypter Class" \
    "sys=fake work=fake log=register $sys32 key=Crypter Class"
row install_answer_yes 'at work fake' 'install box yes' "$success" \
    "sys=fake work=fake log=register $sys32;open $url key=Crypter Class"
row install_component 'at sys old; at work real' 'install box @report no @start state uninstall' \
    "$success / sys=real work=real key=Crypter Class server=$sys32 progid=Crypter Class / $installed" "work=real"
row register_fails 'at work junk' 'install box ok' "$failure" "sys=junk work=junk"
row regsvr32_missing 'at work fake; rm "$sys/regsvr32.exe"' 'install box ok' "$failure" "sys=fake work=fake"
# An installed copy that can't be replaced (a host has it open) stays
# registered as it was; with none, the working directory's file
# is registered by its full path, not a name the system directory could answer.
row copy_in_use 'at sys fake; at work real; hold $sys32' 'install box ok' "$in_use" "sys=fake work=real log=held"
row copy_fails 'mkdir "$sys/Zarnocrypt.dll"; at work fake' 'install box no' "$success" \
    "sys=folder work=fake log=register C:\\Setup Files\\Zarnocrypt.dll key=Crypter Class"
# A regsvr32 that never ends is ended after the limit (seconds in this build).
row regsvr32_never_ends 'at work fake; program=$tree/tests/win32/setup/Setup.exe
        cp "$driver" "$sys/regsvr32.exe"; export WINEDLLOVERRIDES=regsvr32.exe=n' \
    'install box regsvr32 ok' "$failure / regsvr32=ended" "sys=fake work=fake log=regsvr32 hangs"
# On 32-bit Windows a shipped 64-bit DLL is left alone.
row x64_ignored_on_32bit 'at work fake; at x64 junk' 'install box no' "$success" \
    "sys=fake work=fake x64=junk log=register $sys32 key=Crypter Class"
# Both copies unregistered, the installed one first and deleted once its
# regsvr32 has ended (each call takes most of a second in the stand-in).
row uninstall "$prepared" 'state uninstall' "$installed" \
    "work=fake log=unregister $sys32;unregister C:\\Setup Files\\Zarnocrypt.dll"
row uninstall_fails 'at sys junk; value "Crypter Class"' 'uninstall box ok' "$kept" "sys=junk key=Crypter Class"
row uninstall_nothing 'value "Crypter Class"' 'uninstall' "" "key=Crypter Class"
for how in exit escape close-box; do
    row "leave_$how" "$prepared" "$how" "" "sys=fake work=fake key=Crypter Class"
done
else
# 64-bit Windows: Setup's system directory is SysWOW64; the 64-bit DLL goes
# into the native System32 and its own registry view.
wow64_both="key=Crypter Class server=$sys32 progid=Crypter Class key64=Crypter Class server64=$sys32"
row wow64_install 'at work real; at x64 real64' \
    'state install box @report no @hosts @start state uninstall @hosts' \
    "$not / $success / sys=real sys64=real64 work=real x64=real64 $wow64_both / host32=$version host64=$version /\
 $installed / host32=error 1AD host64=error 1AD" \
    "work=real x64=real64"
row wow64_without_x64 'at work real' 'install box no @hosts' "$success / host32=$version host64=error 1AD" \
    "sys=real work=real key=Crypter Class server=$sys32 progid=Crypter Class"
row wow64_x64_fails 'at work real; at x64 junk' 'install box ok' "$failure" \
    "sys=real sys64=junk work=real x64=junk key=Crypter Class server=$sys32 progid=Crypter Class"
row wow64_x64_in_use 'at work real; at x64 real64; at sys64 junk; hold "C:\windows\Sysnative\Zarnocrypt.dll"' \
    'install box ok' "$in_use" \
    "sys=real sys64=junk work=real x64=real64 log=held key=Crypter Class server=$sys32 progid=Crypter Class"
[ -z "$dist_dir" ] ||
row dist_install 'unpack_release' 'install box no @demo' "$success / 1 3 1 1 / 1 3 1 1 / $plain" \
    "sys=real sys64=real64 work=real x64=real64 $wow64_both"
fi
