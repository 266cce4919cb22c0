#!/usr/bin/env bash
# End to end: the script stages in a real installation. The first install runs
# the before-installation, pre-launch and after-installation scripts in that
# order and records them; the pre-launch script finds the installed files; a
# second install of the same package skips them; an error-stage script that
# fails fails the installation.
# Usage: scripts.sh ARCH DLL WORKDIR   (WINEPREFIX names a prepared prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
arch=$1 dll=$2 work=$3
e2e_start "$arch"

e2e_build_package "$arch" "$dll" "$work" Scripts.wxs || { echo "FAIL: the package could not be built"; exit 1; }
# The scripts write to runs.txt beside themselves, in the installation source.
printf '[Scripts]\r\nBeforeScript=%%ScriptPath%%\\before.bat %%QmxVersion%%\r\nPreLaunchScript=[1]%%ScriptPath%%\\prelaunch.bat "%%InstallPath%%readme.txt"\r\nAfterScript=[2]%%ScriptPath%%\\after.bat\r\nErrorScript=[4]%%ScriptPath%%\\error.bat\r\n' > "$work/QMX.CFG"
printf '@echo before %%1>>"%%~dp0runs.txt"\r\n' > "$work/before.bat"
# Its argument is the installed file: it tells whether the files came first.
printf '@if exist %%1 echo prelaunch>>"%%~dp0runs.txt"\r\n@if not exist %%1 echo prelaunch without the installed files>>"%%~dp0runs.txt"\r\n@exit /b 0\r\n' > "$work/prelaunch.bat"
printf '@echo after>>"%%~dp0runs.txt"\r\n@exit /b 0\r\n' > "$work/after.bat"
printf '@echo error>>"%%~dp0runs.txt"\r\n@exit /b 4\r\n' > "$work/error.bat"
package=$(e2e_windows_path "$work/package.msi")
records='HKLM\SOFTWARE\Kestro\QMXService\ScriptCheck'
runs() { tr -d '\r' < "$work/runs.txt" 2>/dev/null | sed 's/ *$//' | paste -sd, -; }
e2e_reg "$arch" delete 'HKLM\SOFTWARE\Kestro\QMXService' /f >/dev/null
rm -f "$(e2e_action_log)"

echo "== $arch: first installation"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec succeeds (exit status $code)" test "$code" = 0
check "the installer ran RunBeforeScripts" action_succeeded "$work/msiexec.log" RunBeforeScripts
check "the installer ran RunPreLaunchScripts" action_succeeded "$work/msiexec.log" RunPreLaunchScripts
check "the installer ran RunAfterScripts" action_succeeded "$work/msiexec.log" RunAfterScripts
check "the three stages ran their script, in order, with the version and the installed files (runs: $(runs))" \
  test "$(runs)" = "before 1.0.0,prelaunch,after"
for script in before.bat prelaunch.bat after.bat; do
  check "$script is recorded" e2e_reg "$arch" query "$records" /v "$script"
done
e2e_msiexec "$arch" "$work" /x "$package" >/dev/null

echo "== $arch: the same package again"
code=$(e2e_msiexec "$arch" "$work" /i "$package")
check "msiexec succeeds (exit status $code)" test "$code" = 0
check "recorded scripts did not run again (runs: $(runs))" test "$(runs)" = "before 1.0.0,prelaunch,after"
e2e_msiexec "$arch" "$work" /x "$package" >/dev/null

echo "== $arch: an error-stage script that fails"
code=$(e2e_msiexec "$arch" "$work" /i "$package" FAIL_STAGE=1)
check "msiexec ends with 1603 (exit status $code)" test "$code" = $((1603 & 255))
check "the error script ran (runs: $(runs))" test "$(runs)" = "before 1.0.0,prelaunch,after,error"
check "the installation was rolled back" test ! -e "$(e2e_install_folder "$arch" "Kestro Scripts Test")/readme.txt"
check "nothing was logged" test -z "$(e2e_log_text)"

e2e_reg "$arch" delete 'HKLM\SOFTWARE\Kestro\QMXService' /f >/dev/null
e2e_summary "$arch scripts"
