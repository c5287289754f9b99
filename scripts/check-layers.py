#!/usr/bin/env python3
"""Fails on any #include in src/ or emulator/ that points up the layer order or across a
boundary (one device backend into another, the utility into the virtual device's servers),
naming the file and line. The order is the one docs/architecture.md draws."""

import pathlib
import re
import sys

# Each part of the code, by the folder its files are in, and the parts its files may include.
# A part may always include its own files.
ALLOWED = {
    "platform": set(),
    "console": {"platform"},
    "protocol": {"platform"},
    "device": {"platform", "console", "protocol"},
    "device/linux": {"platform", "console", "protocol", "device"},
    "device/windows": {"platform", "console", "protocol", "device"},
    "device/link": {"platform", "console", "protocol", "device"},
    "device/replay": {"platform", "console", "protocol", "device"},
    # The in-process virtual device is the one backend built on the firmware's core.
    "device/emulator": {"platform", "console", "protocol", "device", "model"},
    "operations": {"platform", "console", "protocol", "device"},
    "app": {"platform", "console", "protocol", "device", "operations"},
    "model": {"platform", "protocol"},
    "http": {"platform", "protocol", "model"},
    "xml": {"platform", "protocol", "model"},
    "usb": {"platform", "protocol", "model"},
    "usbip": {"platform", "protocol", "model", "usb"},
    "server": {"platform", "protocol", "model", "http", "xml", "usb", "usbip"},
}
BACKENDS = ("linux", "windows", "link", "emulator", "replay")
# Headers reached through an include directory of their own, and the part they belong to.
PRIVATE_HEADERS = {
    "win_types.h": "platform",
    "handle_output.h": "platform",
    "socket_api.h": "platform",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def part_of_file(relative):
    """The part a source file belongs to, from its path below the top of the tree."""
    parts = relative.parts
    if parts[0] == "src" and parts[1] == "device" and len(parts) > 3 and parts[2] in BACKENDS:
        return "device/" + parts[2]
    if parts[0] in ("src", "emulator"):
        return parts[1]
    return None


def part_of_include(name):
    """The part an included header belongs to, from the path it is included by."""
    if name in PRIVATE_HEADERS:
        return PRIVATE_HEADERS[name]
    parts = pathlib.PurePosixPath(name).parts
    if len(parts) > 2 and parts[0] == "device" and parts[1] in BACKENDS:
        return "device/" + parts[1]
    return parts[0]


def main():
    top = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = []
    for path in sorted(list((top / "src").rglob("*")) + list((top / "emulator").rglob("*"))):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(top)
        part = part_of_file(relative)
        if part not in ALLOWED:
            faults.append(f"{relative}: in no part of the layer order")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = part_of_include(match.group(1))
            if target != part and target not in ALLOWED[part]:
                faults.append(f"{relative}:{number}: {part} may not include {match.group(1)} "
                              f"({target})")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layer order (docs/architecture.md)")
        return 1
    print("Every include points down the layer order.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
