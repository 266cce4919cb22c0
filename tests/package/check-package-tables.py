#!/usr/bin/env python3
"""Reads a built reference package back with msiinfo and checks its authoring
of InstallerHelper's actions against actions.tsv and order.tsv:

- the Binary row carries the very DLL that was built, and the package authors
  exactly the actions that the DLL's export list names;
- each action calls its own entry of that Binary, with the Type bits of its
  kind (immediate, deferred as Local System or as the user, rollback) and
  without "continue on failure", under its condition;
- each deferred action's data comes from a property-setting action of the
  same name, with the exact field layout and condition, scheduled before it;
  an immediate action's named property is set before it;
- immediate actions run before InstallInitialize, the others inside the
  deferred script; the pairs of order.tsv run in that order;
- the Error table holds rows 3000 and 3002 (3002 takes the product name as [2]).

Usage: check-package-tables.py PACKAGE.msi DLL EXPORTS.def actions.tsv order.tsv
"""
import subprocess
import sys

DLL_ACTION = 1
PROPERTY_SETTER = 51
CONTINUE = 0x40
ROLLBACK = 0x100
COMMIT = 0x200
IN_SCRIPT = 0x400
NO_IMPERSONATE = 0x800

# The Type bits each kind must show beyond the DLL action type (1).
KINDS = {
    "immediate": 0,
    "deferred": IN_SCRIPT | NO_IMPERSONATE,
    "deferred-user": IN_SCRIPT,
    "rollback": IN_SCRIPT | ROLLBACK | NO_IMPERSONATE,
}

failures = []


def fail(message):
    failures.append(message)
    print(f"FAIL: {message}")


def table(package, name):
    """Rows of a table as lists of fields, from msiinfo's export (three header lines)."""
    text = subprocess.run(["msiinfo", "export", package, name], check=True, capture_output=True,
                          text=True).stdout
    return [line.split("\t") for line in text.split("\n")[3:] if line]


def tsv(path):
    with open(path, encoding="utf-8") as source:
        return [line.rstrip("\n").split("\t") for line in source if line.strip() and not line.startswith("#")]


def exported_actions(definition):
    """The action names of the export list: every export but the cipher and checksum families."""
    names, exports = set(), False
    with open(definition, encoding="utf-8") as source:
        for line in source:
            word = line.strip()
            if word == "EXPORTS":
                exports = True
            elif exports and word and not word.startswith(("kxa_", "kxmaa_")):
                names.add(word.split()[0])
    return names


def main(package, dll, definition, actions_path, order_path):
    custom = {row[0]: (int(row[1]), row[2], row[3]) for row in table(package, "CustomAction")}
    sequence = {row[0]: (row[1], int(row[2])) for row in table(package, "InstallExecuteSequence")}
    setters = {}
    for action, (kind, source, target) in custom.items():
        if kind & 0x3F == PROPERTY_SETTER:
            setters.setdefault(source, []).append((action, target))
            if action not in sequence:
                fail(f"the property-setting action {action} is never scheduled")

    binary = subprocess.run(["msiinfo", "extract", package, "Binary.InstallerHelper"], capture_output=True).stdout
    with open(dll, "rb") as built:
        if binary != built.read():
            fail(f"the Binary row InstallerHelper is not the built {dll}")

    expected = tsv(actions_path)
    authored, exported = {row[0] for row in expected}, exported_actions(definition)
    for name in sorted(exported - authored):
        fail(f"the DLL exports {name}, which the package does not author")
    for name in sorted(authored - exported):
        fail(f"the package authors {name}, which the DLL does not export")

    initialize, finalize = sequence["InstallInitialize"][1], sequence["InstallFinalize"][1]
    for name, kind, data, condition in expected:
        if name not in custom:
            fail(f"{name} is not a custom action of the package")
            continue
        action_type, source, target = custom[name]
        if (source, target) != ("InstallerHelper", name):
            fail(f"{name} calls {source}!{target}, not InstallerHelper!{name}")
        bits = IN_SCRIPT | ROLLBACK | COMMIT | CONTINUE | (0 if kind == "immediate" else NO_IMPERSONATE)
        if action_type & 0x3F != DLL_ACTION or action_type & bits != KINDS[kind]:
            fail(f"{name} has Type {action_type}, not that of a {kind} DLL action")
        if name not in sequence:
            fail(f"{name} is not scheduled")
            continue
        scheduled, number = sequence[name]
        if scheduled != condition:
            fail(f"{name} runs under '{scheduled}', not '{condition}'")
        if kind == "immediate" and number >= initialize:
            fail(f"{name} ({number}) is immediate but scheduled after InstallInitialize")
        if kind != "immediate" and not initialize < number < finalize:
            fail(f"{name} ({number}) is not inside the deferred script")

        wanted = [tuple(pair.split("=", 1)) for pair in data.split(";")] if kind == "immediate" and data != "-" \
            else [(name, data)] if data != "-" else []
        for prop, value in wanted:
            found = [(setter, target) for setter, target in setters.get(prop, [])
                     if setter in sequence and sequence[setter][1] < number]
            if not found:
                fail(f"nothing sets {prop} before {name}")
            for setter, target in found:
                if target != value:
                    fail(f"{setter} gives {prop} '{target}', not '{value}'")
                if sequence[setter][0] != condition:
                    fail(f"{setter} runs under '{sequence[setter][0]}', {name} under '{condition}'")
        if kind != "immediate" and data == "-" and name in setters:
            fail(f"{name} takes no data, but {setters[name][0][0]} sets it")

    for earlier, later, why in tsv(order_path):
        if earlier not in sequence or later not in sequence:
            fail(f"{earlier} and {later} are not both scheduled ({why})")
        elif sequence[earlier][1] >= sequence[later][1]:
            fail(f"{earlier} ({sequence[earlier][1]}) does not run before {later} ({sequence[later][1]}): {why}")

    errors = {int(row[0]): row[1] for row in table(package, "Error")}
    if not errors.get(3000):
        fail("the Error table has no text for 3000")
    if "[2]" not in errors.get(3002, ""):
        fail("the Error table's 3002 does not take the product name as [2]")

    print(f"{len(expected)} actions checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
