#!/usr/bin/env bash
# The product's life on one Wine machine, with the reference package:
#   1. install version 1.0.0
#   2. engine-only update to 1.0.1 (only engine files differ) while engine
#      clients hold the engine: they are suspended and resumed
#   3. full update to 1.0.2 (the on-access drivers differ), clients again
#   4. uninstall, with a scheduled scan of the product's and clients holding
#      the engine
# Prints a report per step: the actions that ran with their results, the
# action log lines they wrote, what changed on the machine and the step's time;
# keeps the full logs in WORKDIR/logs (a folder per step).
# Usage: lifecycle.sh ARCH DLL FIXTURES-FOLDER WORKDIR
#   WINEPREFIX names a prepared prefix; IH_CATALOGUE the native ih-catalogue
#   (by default the native build's, built when missing).
# Exit status 0 when every installation ended as the lifecycle expects
# (the report says which did not).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tests/e2e/package.sh"
arch=$1 dll=$(realpath -m "$2") fixtures=$(realpath -m "$3") work=$(realpath -m "$4")
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
catalogue_tool=${IH_CATALOGUE:-$("$root/tools/authoring/native-tool.sh" ih-catalogue)} || exit 1
logs=$work/logs
loader=$(wine_loader "$arch")
folder=$(e2e_install_folder "$arch" "Kestro/Kestro Anti-Virus")
case "$arch" in
  x64) win_folder='C:\Program Files\Kestro\Kestro Anti-Virus' ;;
  x86) win_folder='C:\Program Files (x86)\Kestro\Kestro Anti-Virus' ;;
esac
action_log=$(e2e_action_log)
failures=0

say() { printf '%s\n' "$*"; }
indent() { sed 's/^/    /'; }

# --- the three versions' media -------------------------------------------------
build_media() {
  local version=$1 extra=${2:-}
  IH_DLL=$dll IH_ENGINE=$fixtures/TestEngine.dll IH_VERSION=$version IH_EXTRA_MEDIA=$extra IH_CATALOGUE=$catalogue_tool \
    "$root/package/build.sh" "$arch" "$work/media-$version" > "$work/media-$version.txt" 2>&1 ||
    { say "the $version media could not be built:"; indent < "$work/media-$version.txt"; exit 1; }
}
rm -rf "$work"
mkdir -p "$logs"
build_media 1.0.0
# 1.0.1: a new engine build and new virus definitions.
mkdir -p "$work/extra-1.0.1"
{ cat "$fixtures/TestEngine.dll"; printf 'engine build 1.0.1\n'; } > "$work/extra-1.0.1/QMXI.dll"
printf 'virus definitions 1.0.1\r\n' > "$work/extra-1.0.1/VDL.DAT"
printf 'daily definitions 1.0.1\r\n' > "$work/extra-1.0.1/daily.vdb"
build_media 1.0.1 "$work/extra-1.0.1"
# 1.0.2: the same engine, new on-access control drivers.
cp -r "$work/extra-1.0.1" "$work/extra-1.0.2"
for set in WinXP_i386 WinXP_AMD64 WinXP_IA64; do
  mkdir -p "$work/extra-1.0.2/$set"
  printf 'on-access control driver 1.0.2\r\n' > "$work/extra-1.0.2/$set/qmxonaccesscontrol.sys"
done
build_media 1.0.2 "$work/extra-1.0.2"

# --- one step ------------------------------------------------------------------
clients=()
client_pids=()
start_clients() {
  local step_logs=$1 name status
  clients=(QMXService QMXScanner)
  client_pids=()
  for name in "${clients[@]}"; do
    status="$step_logs/client-$name.txt"
    : > "$status"
    "$loader" "$fixtures/engine_client.exe" "$name" resumes - "$win_folder\\QMXI.dll" \
      "$(e2e_windows_path "$status")" - 120000 >/dev/null 2>&1 &
    client_pids+=($!)
  done
  for name in "${clients[@]}"; do
    for _ in $(seq 1 300); do grep -q started "$step_logs/client-$name.txt" 2>/dev/null && break; sleep 0.1; done
  done
}
client_report() {
  local step_logs=$1 name pid i=0
  for name in "${clients[@]}"; do
    pid=${client_pids[$i]}; i=$((i + 1))
    local ended="ended by itself"
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
      ended="still waiting, ended by the demo"
    else
      wait "$pid" 2>/dev/null
    fi
    say "  engine client $name: $(tr -d '\r' < "$step_logs/client-$name.txt" | paste -sd' ' | sed 's/ /, /g'); $ended"
  done
  clients=()
}

# progress WHAT PID: a line that tells how long the installation has run and
# which action it is in, while it runs (only on a terminal).
progress() {
  local what=$1 pid=$2 log=$3 started=$SECONDS current
  [ -t 1 ] || { wait "$pid"; return $?; }
  while kill -0 "$pid" 2>/dev/null; do
    current=$(grep -aoE 'Action start [0-9:]+: [A-Za-z0-9_]+' "$log" 2>/dev/null | tail -n 1 | sed 's/.*: //')
    printf '\r  %s: %3d s %-40s' "$what" $((SECONDS - started)) "${current:+running $current}"
    sleep 1
  done
  printf '\r\033[K'
  wait "$pid"
}

step_number=0
# step NAME TITLE EXPECTED-EXIT MSIEXEC-ARGUMENTS...
step() {
  local name=$1 title=$2 expected=$3; shift 3
  step_number=$((step_number + 1))
  local step_logs="$logs/$step_number-$name"
  mkdir -p "$step_logs"
  say
  say "== $step_number. $title"
  timeout 120 "$(wine_server)" -w
  python3 "$here/machine.py" snapshot "$WINEPREFIX" "$step_logs/before.json"
  local log_start=0
  [ -e "$action_log" ] && log_start=$(stat -c %s "$action_log")
  [ -n "${STEP_BEFORE:-}" ] && $STEP_BEFORE "$step_logs"

  local began=$EPOCHREALTIME code=0
  timeout "$E2E_MSIEXEC_SECONDS" "$loader" msiexec "$@" /qn /l*v "$(e2e_windows_path "$step_logs/msiexec.log")" \
    >/dev/null 2>&1 &
  progress "$title" $! "$step_logs/msiexec.log" || code=$?
  [ ${#clients[@]} -gt 0 ] && client_report "$step_logs" > "$step_logs/clients.txt"
  timeout "$E2E_MSIEXEC_SECONDS" "$(wine_server)" -w || say "  Wine processes were still running $E2E_MSIEXEC_SECONDS s after msiexec"
  local wall
  wall=$(python3 -c "print(round($EPOCHREALTIME - $began, 1))")
  python3 "$here/machine.py" snapshot "$WINEPREFIX" "$step_logs/after.json"

  [ -s "$step_logs/notes.txt" ] && cat "$step_logs/notes.txt"
  say "  msiexec $* -> exit status $code$([ "$code" = "$expected" ] || echo " (expected $expected)")"
  [ "$code" = "$expected" ] || failures=$((failures + 1))
  [ -s "$step_logs/clients.txt" ] && cat "$step_logs/clients.txt"
  say "  actions:"
  python3 "$here/actions.py" "$step_logs/msiexec.log" "$(msi_of "$@")" "$step_logs/actions.tsv" "$wall" \
    > "$step_logs/actions.txt"
  grep -v '^  time: ' "$step_logs/actions.txt" | sed 's/^/  /'
  { [ -e "$action_log" ] && tail -c +$((log_start + 1)) "$action_log" | iconv -f UTF-16LE -t UTF-8 | tr -d '\r'; } \
    > "$step_logs/action-log.txt"
  say "  action log ($(wc -l < "$step_logs/action-log.txt") lines):"
  if [ -s "$step_logs/action-log.txt" ]; then indent < "$step_logs/action-log.txt"; else say "    (nothing)"; fi
  python3 "$here/machine.py" diff "$step_logs/before.json" "$step_logs/after.json" > "$step_logs/changes.txt"
  say "  machine:"
  indent < "$step_logs/changes.txt"
  grep '^  time: ' "$step_logs/actions.txt"
}
# The package an msiexec command line names (its Unix path).
msi_of() {
  local argument
  for argument in "$@"; do
    case "$argument" in Z:*.msi) argument=${argument#Z:}; echo "${argument//\\//}"; return ;; esac
  done
}

before_engine_update() {
  local step_logs=$1
  {
    say "  ReadCatalog will compare the installed catalogue with the new one (ih-catalogue compare):"
    "$catalogue_tool" compare "$folder/cidsync.upd" "$step_media/cidsync.upd" 2>&1 | indent
  } > "$step_logs/notes.txt"
  start_clients "$step_logs"
}
before_removal() {
  local step_logs=$1 code=0
  "$loader" "$fixtures/scan_scheduler.exe" "Kestro weekly scan" 'C:\ProgramData\Kestro\weekly.cfg' >/dev/null 2>&1 || code=$?
  say "  a scheduled scan of the product's (\"Kestro weekly scan\"): $([ $code = 0 ] && echo scheduled || echo "not scheduled ($code)")" \
    > "$step_logs/notes.txt"
  # The scan belongs to the machine before the removal: the step's changes start after it.
  timeout 60 "$(wine_server)" -w
  python3 "$here/machine.py" snapshot "$WINEPREFIX" "$step_logs/before.json"
  start_clients "$step_logs"
}

say "Kestro Anti-Virus on Wine ($arch package, prefix $WINEPREFIX)"
say "logs: $logs"
say
say "The product's programs and drivers are one-line stand-ins; the engine is a test library that"
say "records its registration calls in engine-calls.txt beside it."
say
say "Wine cannot do all that Windows does; the report shows what happens here:"
say "  - Local groups: Wine's account functions cannot create them, so CreateUserGroups would fail and"
say "    roll the installation back. The installations run with QMXNOGROUPS=1, which leaves out"
say "    CreateUserGroups and the four group descriptions; on Windows they create KestroUser,"
say "    KestroPowerUser, KestroAdministrator and KestroOnAccess. The permission actions look the"
say "    groups up, find none and log it."
say "  - Drivers: Wine copies the driver files and creates their services but cannot start them."
say "  - Security Center: Wine's WMI has no SecurityCenter namespace; the registration logs its error."
say "  - Upgrades: Wine removes the earlier version as a plain removal, without UPGRADINGPRODUCTCODE."
say "    The package sees it from the product's version value (QMXUPGRADEREMOVAL) and leaves the"
say "    clean-up actions out. That removal runs in an installer process of its own, whose actions"
say "    the step's installer log does not list; its action log lines are shown."

step_media=$work/media-1.0.0
STEP_BEFORE='' step install-1.0.0 "Install version 1.0.0" 0 /i "$(e2e_windows_path "$step_media/Kestro.msi")" QMXNOGROUPS=1
step_media=$work/media-1.0.1
STEP_BEFORE=before_engine_update step engine-update-1.0.1 "Engine-only update to 1.0.1, engine clients running" 0 \
  /i "$(e2e_windows_path "$step_media/Kestro.msi")" QMXNOGROUPS=1
step_media=$work/media-1.0.2
STEP_BEFORE=before_engine_update step full-update-1.0.2 "Full update to 1.0.2 (new drivers), engine clients running" 0 \
  /i "$(e2e_windows_path "$step_media/Kestro.msi")" QMXNOGROUPS=1
STEP_BEFORE=before_removal step uninstall "Uninstall, with a scheduled scan and engine clients" 0 \
  /x "$(e2e_windows_path "$step_media/Kestro.msi")"

say
say "Left on the machine after the removal:"
left=$(python3 "$here/machine.py" left "$logs/$step_number-uninstall/after.json")
if [ -n "$left" ]; then say "$left"; else say "  nothing of the product's"; fi
say "  (the restart marker and the folders are deleted at the next restart)"
if grep -qF 'QMX.exe' <<<"$left"; then
  say "  QMX.exe and the services QMXService and QMXAdminService belong to the installer's own"
  say "  tables: after two upgrades in a row that each remove the earlier version once the new one"
  say "  is installed, Wine's installer no longer records the components they share, so its"
  say "  removal leaves them (seen with a one-file package as well; one upgrade, or the earlier"
  say "  version removed first, does not). Windows removes them."
fi
say
if [ "$failures" = 0 ]; then
  say "Every step ended as expected. Full logs: $logs"
else
  say "$failures step(s) did not end as expected. Full logs: $logs"
fi
[ "$failures" = 0 ]
