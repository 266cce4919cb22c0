#!/usr/bin/env python3
"""What the product's installation changes on a Wine machine.

  machine.py snapshot PREFIX OUTPUT.json   records the places the product touches
  machine.py diff BEFORE.json AFTER.json   prints what changed, a line each
  machine.py left SNAPSHOT.json            the product's files and services still there

Recorded: the files below the product's folders, the drivers folders, the
temporary folder's Kestro files and the scheduled tasks; the registry keys
(HKLM and the prefix user's HKCU) whose path names the product (Kestro, QMX)
or whose values mention "Kestro", apart from the installer's own records; and
every service. Read straight from the prefix: run it while no Wine program
runs (wineserver -w), when the registry files are up to date.
"""
import hashlib
import json
import os
import re
import sys

FILE_ROOTS = [
    "Program Files/Kestro",
    "Program Files (x86)/Kestro",
    "ProgramData/Kestro",
    "windows/system32/drivers",
    "windows/syswow64/drivers",
]
# Work items and the newer scheduler's tasks; Wine spells the folders in lower case.
TASK_FOLDERS = ["windows/tasks", "windows/system32/tasks"]
PRODUCT_WORDS = ("kestro", "qmx")
# The installer's bookkeeping of products and components: not the product's changes.
INSTALLER_KEYS = (
    "software\\microsoft\\windows\\currentversion\\installer",
    "software\\classes\\installer",
    "software\\microsoft\\installer",
)
SERVICES = "system\\currentcontrolset\\services\\"
SERVICE_VALUES = ("Type", "Start", "ObjectName", "ImagePath")


def windows_path(relative):
    return "C:\\" + relative.replace("/", "\\")


def file_digest(path):
    digest = hashlib.sha1()
    with open(path, "rb") as data:
        for block in iter(lambda: data.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def user_temp(drive):
    users = os.path.join(drive, "users")
    for user in sorted(os.listdir(users)) if os.path.isdir(users) else []:
        if user not in ("Public", "Default"):
            yield f"users/{user}/Temp"


def snapshot_files(drive):
    files = {}
    roots = FILE_ROOTS + list(user_temp(drive))
    for root in roots:
        top = os.path.join(drive, root)
        temp = root.endswith("/Temp")
        for folder, _, names in os.walk(top):
            for name in names:
                if temp and not name.lower().startswith("kestro"):
                    continue
                path = os.path.join(folder, name)
                if os.path.isfile(path) and not os.path.islink(path):
                    files[os.path.relpath(path, drive)] = file_digest(path)
            if temp:
                break  # the temporary folder's own files only
    return files


def existing_folder(drive, relative):
    """The folder as the file system spells it, found without regard to case."""
    path = drive
    for part in relative.split("/"):
        names = os.listdir(path) if os.path.isdir(path) else []
        match = next((name for name in names if name.lower() == part.lower()), None)
        if match is None:
            return os.path.join(drive, relative)
        path = os.path.join(path, match)
    return path


def snapshot_tasks(drive):
    tasks = []
    for root in TASK_FOLDERS:
        top = existing_folder(drive, root)
        for folder, _, names in os.walk(top):
            tasks += [os.path.relpath(os.path.join(folder, name), drive) for name in names]
    return sorted(tasks)


# Wine's registry files: "[key\\path] stamp" heads a key, then one value a line
# ("name"=data or @=data), long data continued with a trailing backslash.
KEY_LINE = re.compile(r"^\[(.*)\](?: \d+)?$")
VALUE_LINE = re.compile(r'^("(?:[^"\\]|\\.)*"|@)=(.*)$')


def unescape(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(m.group(1), m.group(1)), text)


def decode_value(data):
    """The data of a registry file's value line as reg would show it."""
    if data.startswith('"'):
        return unescape(data[1:-1])
    match = re.match(r'str\((\d+)\):"(.*)"$', data)
    if match:  # expandable (2) or multi-string (7) text
        parts = unescape(match.group(2)).split("\0")
        while parts and parts[-1] == "":
            parts.pop()
        return " | ".join(parts)
    if data.startswith("dword:"):
        return "0x%x" % int(data[6:], 16)
    match = re.match(r"hex(?:\((\w+)\))?:(.*)", data)
    if match:
        kind, digits = match.group(1), match.group(2)
        raw = bytes(int(b, 16) for b in digits.split(",") if b)
        if kind == "7":  # multi-string
            parts = raw.decode("utf-16-le", "replace").split("\0")
            while parts and parts[-1] == "":
                parts.pop()
            return " | ".join(parts)
        if kind == "2":
            return raw.decode("utf-16-le", "replace").rstrip("\0")
        return "(%d bytes) %s" % (len(raw), hashlib.sha1(raw).hexdigest()[:12])
    return data


def read_registry(path, root):
    keys = {}
    current = None
    pending = ""
    with open(path, encoding="utf-8", errors="replace") as text:
        for raw in text:
            line = pending + raw.rstrip("\n").lstrip() if pending else raw.rstrip("\n")
            if line.endswith("\\") and current is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            pending = ""
            head = KEY_LINE.match(line)
            if head:
                current = root + "\\" + head.group(1).replace("\\\\", "\\")
                keys[current] = {}
                continue
            value = VALUE_LINE.match(line)
            if value and current is not None:
                name = "(Default)" if value.group(1) == "@" else unescape(value.group(1)[1:-1])
                keys[current][name] = decode_value(value.group(2))
    return keys


# Of an entry in the list of installed programs, the values that say which.
UNINSTALL_KEY = "software\\microsoft\\windows\\currentversion\\uninstall\\"
UNINSTALL_VALUES = ("DisplayName", "DisplayVersion", "InstallSource")


# Files the installation asks to have renamed or deleted at the next restart.
RESTART_KEY = "system\\currentcontrolset\\control\\session manager"
RESTART_VALUE = "PendingFileRenameOperations"


def product_key(key, values):
    lowered = key.lower().split("\\", 1)[-1]
    if lowered == RESTART_KEY:
        return True
    if any(lowered.startswith(root) for root in INSTALLER_KEYS):
        return False
    if any(word in lowered for word in PRODUCT_WORDS):
        return True
    return any("kestro" in str(data).lower() for data in values.values())


def snapshot_registry(prefix):
    registry = {}
    for file, root in (("system.reg", "HKLM"), ("user.reg", "HKCU")):
        path = os.path.join(prefix, file)
        if os.path.exists(path):
            registry.update(read_registry(path, root))
    # Wine keeps the current control set as ControlSet001.
    shown = {}
    for key, values in registry.items():
        prefix_set = "HKLM\\System\\ControlSet001\\"
        if key.lower().startswith(prefix_set.lower()):
            key = "HKLM\\System\\CurrentControlSet\\" + key[len(prefix_set):]
        shown[key] = values
    return shown


def restart_operations(data):
    """The multi-string's pairs (file, new name or nothing) as words."""
    parts = data.split(" | ")
    operations = []
    for i in range(0, len(parts), 2):
        source = parts[i].removeprefix("\\??\\")
        target = parts[i + 1].removeprefix("!").removeprefix("\\??\\") if i + 1 < len(parts) else ""
        operations.append("delete " + source if not target else "rename " + source + " to " + target)
    return "at the next restart: " + "; ".join(operations)


def shown_values(key, values):
    if key.lower().endswith(RESTART_KEY):
        return {name: restart_operations(data) for name, data in values.items() if name == RESTART_VALUE}
    if UNINSTALL_KEY in key.lower():
        return {name: values[name] for name in UNINSTALL_VALUES if name in values}
    return values


def snapshot(prefix):
    drive = os.path.join(prefix, "drive_c")
    registry = snapshot_registry(prefix)
    services = {}
    for key, values in registry.items():
        lowered = key.lower()
        if lowered.startswith("hklm\\" + SERVICES) and "\\" not in key[len("hklm\\" + SERVICES):]:
            services[key[len("hklm\\" + SERVICES):]] = {n: values[n] for n in SERVICE_VALUES if n in values}
    return {
        "files": snapshot_files(drive),
        "registry": {k: shown_values(k, v) for k, v in registry.items() if product_key(k, v)},
        "services": services,
        "tasks": snapshot_tasks(drive),
    }


def service_text(values):
    kinds = {"0x1": "kernel driver", "0x2": "file-system driver", "0x10": "own process", "0x20": "shared process"}
    starts = {"0x0": "boot", "0x1": "system", "0x2": "automatic", "0x3": "demand", "0x4": "disabled"}
    parts = [kinds.get(values.get("Type", ""), "type " + values.get("Type", "?")),
             starts.get(values.get("Start", ""), "start " + values.get("Start", "?")) + " start"]
    if values.get("ObjectName"):
        parts.append("as " + values["ObjectName"])
    if values.get("ImagePath"):
        parts.append(values["ImagePath"])
    return ", ".join(parts)


def diff(before, after):
    lines = []
    files_before, files_after = before["files"], after["files"]
    for path in sorted(set(files_before) | set(files_after), key=str.lower):
        if path not in files_before:
            lines.append(("files", "+ " + windows_path(path)))
        elif path not in files_after:
            lines.append(("files", "- " + windows_path(path)))
        elif files_before[path] != files_after[path]:
            lines.append(("files", "~ " + windows_path(path) + " (new content)"))

    reg_before, reg_after = before["registry"], after["registry"]
    for key in sorted(set(reg_before) | set(reg_after), key=str.lower):
        old, new = reg_before.get(key), reg_after.get(key)
        if old is None:
            lines.append(("registry", "+ " + key))
            lines += [("registry", "    %s = %s" % (name, new[name])) for name in sorted(new, key=str.lower)]
        elif new is None:
            lines.append(("registry", "- " + key))
        else:
            changed = [name for name in sorted(set(old) | set(new), key=str.lower) if old.get(name) != new.get(name)]
            if changed:
                lines.append(("registry", "~ " + key))
            for name in changed:
                if name not in old:
                    lines.append(("registry", "    + %s = %s" % (name, new[name])))
                elif name not in new:
                    lines.append(("registry", "    - %s (was %s)" % (name, old[name])))
                else:
                    lines.append(("registry", "    ~ %s: %s -> %s" % (name, old[name], new[name])))

    svc_before, svc_after = before["services"], after["services"]
    for name in sorted(set(svc_before) | set(svc_after), key=str.lower):
        old, new = svc_before.get(name), svc_after.get(name)
        if old is None:
            lines.append(("services", "+ %s (%s)" % (name, service_text(new))))
        elif new is None:
            lines.append(("services", "- %s" % name))
        elif old != new:
            lines.append(("services", "~ %s (%s)" % (name, service_text(new))))

    tasks_before, tasks_after = set(before["tasks"]), set(after["tasks"])
    lines += [("scheduled tasks", "+ " + windows_path(t)) for t in sorted(tasks_after - tasks_before)]
    lines += [("scheduled tasks", "- " + windows_path(t)) for t in sorted(tasks_before - tasks_after)]
    return lines


def main(args):
    if len(args) == 3 and args[0] == "snapshot":
        with open(args[2], "w") as out:
            json.dump(snapshot(args[1]), out)
        return 0
    if len(args) == 3 and args[0] == "diff":
        with open(args[1]) as first, open(args[2]) as second:
            changes = diff(json.load(first), json.load(second))
        for section in ("files", "registry", "services", "scheduled tasks"):
            entries = [text for kind, text in changes if kind == section]
            print("%s: %s" % (section, "no change" if not entries else ""))
            for text in entries:
                print("  " + text)
        return 0
    if len(args) == 2 and args[0] == "left":
        with open(args[1]) as first:
            state = json.load(first)
        for path in sorted(state["files"], key=str.lower):
            if "/kestro/" in path.lower() or os.path.basename(path).lower().startswith("qmx"):
                print("  " + windows_path(path))
        for name in sorted(state["services"], key=str.lower):
            if any(word in name.lower() for word in PRODUCT_WORDS):
                print("  service " + name)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
