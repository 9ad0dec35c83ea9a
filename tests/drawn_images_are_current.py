#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when an image in the tree is not what its script draws today from
the phone's sizes and colours (src/platform/PhoneLook.h): after a change
there, run the script named in the message and commit its output.

    tests/drawn_images_are_current.py
"""
import filecmp
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# (script and its options, the folder its output is committed in)
DRAWN = (
    (["scripts/make-keyboard-images"], "src/clients/iphone/Resources/keyboard"),
    (["scripts/make-app-icons"], "src/clients/iphone/Resources/icons"),
    (["scripts/make-app-icons", "--launcher"], "packaging/icons"),
)


def files_below(folder):
    found = set()
    for parent, _, names in os.walk(folder):
        found.update(os.path.relpath(os.path.join(parent, name), folder) for name in names)
    return found


def main():
    stale = []
    for command, folder in DRAWN:
        committed = os.path.join(ROOT, folder)
        with tempfile.TemporaryDirectory() as drawn:
            subprocess.run([sys.executable, os.path.join(ROOT, command[0])] + command[1:] + [drawn], check=True)
            for name in sorted(files_below(drawn) | files_below(committed)):
                a, b = os.path.join(drawn, name), os.path.join(committed, name)
                if not (os.path.isfile(a) and os.path.isfile(b) and filecmp.cmp(a, b, shallow=False)):
                    stale.append("%s/%s (run %s)" % (folder, name, " ".join(command)))
    for line in stale:
        print("not what its script draws now:", line)
    print("%d images differ" % len(stale) if stale else "every drawn image is current")
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
