#!/usr/bin/env python3
"""Builds demo.txdevproj from this folder: config.txrc, versionInfo.txverinf
(a QVariantMap in the Qt data stream format, big-endian) and project/.

usage: make-package.py [OUTPUT]   (default: demo.txdevproj next to this script)
"""
import os
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))

VERSION_INFO = {
    "minDeviceSoftwareVersion": "1.0.0.1500",
    "compatibleModels": "QMX 70-A|QMX 43-A",
    "ethernetPort": 0,
    "configInfo": "alarmOutputs: ; analogInputs: ; canPorts: ; colorDepth: 16; digitalInputOutputs: ; "
                  "displayBrightness: 80; displaySize: 1024,600; password: ; pwmFrequency: ; pwmOutputs: ; "
                  "serial485COMPorts: ; serialCOMPorts: ;",
}


def qstring(text):
    data = text.encode("utf-16-be")
    return struct.pack(">I", len(data)) + data


def qvariant(value):
    # type id, null flag, payload (QMetaType ids: Int 2, QString 10, QVariantMap 8)
    if isinstance(value, int):
        return struct.pack(">IBi", 2, 0, value)
    if isinstance(value, str):
        return struct.pack(">IB", 10, 0) + qstring(value)
    if isinstance(value, dict):
        out = struct.pack(">IB", 8, 0) + struct.pack(">I", len(value))
        for key in sorted(value):
            out += qstring(key) + qvariant(value[key])
        return out
    raise TypeError(value)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "demo.txdevproj")
    version_info = qvariant(VERSION_INFO)
    with open(os.path.join(HERE, "versionInfo.txverinf"), "wb") as f:
        f.write(version_info)
    with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.write(os.path.join(HERE, "config.txrc"), "config.txrc")
        archive.writestr("versionInfo.txverinf", version_info)
        for folder, _, files in sorted(os.walk(os.path.join(HERE, "project"))):
            for name in sorted(files):
                path = os.path.join(folder, name)
                archive.write(path, os.path.relpath(path, HERE))
    print(output)


if __name__ == "__main__":
    main()
