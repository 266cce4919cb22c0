#!/usr/bin/env python3
"""The InstallerHelper actions one installation ran, read from its verbose
installer log (msiexec /l*v) and its package's CustomAction table.

  actions.py MSIEXEC.log PACKAGE.msi TABLE.tsv [WALL-SECONDS]

Prints a line per action that ran (in the order it ran: result, seconds) and
the installation's steering properties; writes the same as TABLE.tsv
(ACTION<tab>KIND<tab>RESULT<tab>SECONDS, then PROPERTY<tab>NAME<tab>VALUE).
Given the step's wall time, also a line that sets the time of the actions
that are made to wait apart from the rest.

Wine's installer names an action of the deferred script twice: when it is
written into the script and when the script runs it. A rollback action named
once was written and never needed.
"""
import re
import subprocess
import sys

IN_SCRIPT, ROLLBACK, COMMIT = 0x400, 0x100, 0x200
STEERING = ("QMXIONLY", "UPDATEDRIVERS", "DRIVERVERSION", "UPGRADINGPRODUCTCODE", "WIX_UPGRADE_DETECTED")
START = re.compile(r"^Action start (\d+):(\d\d):(\d\d): (\w+)\.$")
END = re.compile(r"^Action ended (\d+):(\d\d):(\d\d): (\w+)\. Return value (-?\d+)\.$")
# The actions whose work includes a wait of their own, and what they wait for.
WAITS = {
    "UpdateQmxAdapterDll": "a fixed 10 s pause",
    "UpdateQMXI": "the engine handshake, up to 240 s a wait",
    "RemoveQMXI": "the engine handshake, up to 240 s a wait",
    "PreInstallChecks": "up to 300 s for an earlier generation's uninstaller",
    "ConfigureQMX": "up to 30 s for the configuration program",
    "CloseQmxMainWindow": "up to 0.5 s + 30 x 10 s for the scan windows",
    "CreateUserGroups": "up to 10 s for the agent service to stop",
}
PROPERTY = re.compile(r"^Property\(S\): (\w+) = (.*)$")


def log_lines(path):
    data = open(path, "rb").read()
    text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("utf-8", "replace")
    return [line.rstrip("\r") for line in text.split("\n")]


def library_actions(package):
    """Name -> Type of every custom action that calls a DLL entry."""
    table = subprocess.run(["msiinfo", "export", package, "CustomAction"], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    actions = {}
    for row in table[3:]:
        fields = row.split("\t")
        if len(fields) >= 2 and fields[1].isdigit() and int(fields[1]) & 0x3F == 1:
            actions[fields[0]] = int(fields[1])
    return actions


def kind(type_bits):
    if not type_bits & IN_SCRIPT:
        return "immediate"
    if type_bits & ROLLBACK:
        return "rollback"
    return "commit" if type_bits & COMMIT else "deferred"


def seconds(start, end):
    # The log's clock has 12 hours and whole seconds.
    as_seconds = lambda t: (int(t[0]) % 12) * 3600 + int(t[1]) * 60 + int(t[2])
    return (as_seconds(end) - as_seconds(start)) % 43200


def ran_actions(lines, actions):
    starts, ends, order = {}, {}, []
    for line in lines:
        match = START.match(line)
        if match and match.group(4) in actions:
            starts.setdefault(match.group(4), []).append(match.groups()[:3])
            continue
        match = END.match(line)
        if match and match.group(4) in actions:
            name = match.group(4)
            ends.setdefault(name, []).append((match.groups()[:3], match.group(5)))
            in_script = actions[name] & IN_SCRIPT
            if len(ends[name]) == (2 if in_script else 1):
                order.append(name)
    table = []
    for name in order:
        (start, (end, value)) = starts[name][-1], ends[name][-1]
        table.append((name, kind(actions[name]), "succeeded" if value == "1" else f"failed (return value {value})",
                      seconds(start, end)))
    return table


def properties(lines):
    found = {}
    for line in lines:
        match = PROPERTY.match(line)
        if match and match.group(1) in STEERING:
            found[match.group(1)] = match.group(2)
    return found


def main(args):
    if len(args) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    lines = log_lines(args[0])
    table = ran_actions(lines, library_actions(args[1]))
    steering = properties(lines)
    with open(args[2], "w") as out:
        for row in table:
            out.write("ACTION\t%s\t%s\t%s\t%d\n" % row)
        for name, value in steering.items():
            out.write("PROPERTY\t%s\t%s\n" % (name, value))
    width = max([len(name) for name, *_ in table] + [10])
    for name, action_kind, result, took in table:
        print("  %-*s  %-9s  %s%s" % (width, name, action_kind, result, f", {took} s" if took else ""))
    if not table:
        print("  (none)")
    shown = [f"{name} = {steering[name]}" for name in STEERING if name in steering]
    print("  properties: " + ("; ".join(shown) if shown else "none of QMXIONLY, UPDATEDRIVERS, DRIVERVERSION set"))
    if len(args) == 4:
        wall = float(args[3])
        # A bounded wait that took no time is not worth a word; the fixed pause always is.
        waiting = [(name, took) for name, _, _, took in table
                   if name in WAITS and (took or name == "UpdateQmxAdapterDll")]
        waited = sum(took for _, took in waiting)
        parts = [f"{name} {took} s ({WAITS[name]})" for name, took in waiting]
        print("  time: %.1f s in all; in the actions' own waits: %s; the rest %.1f s" %
              (wall, "; ".join(parts) if parts else "none", max(wall - waited, 0.0)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
