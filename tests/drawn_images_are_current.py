#!/usr/bin/env python3
"""Fails when an image in the app's resources is not what its script draws
today from the phone's sizes and colours (src/platform/PhoneLook.h): after a
change there, run the script named in the message and commit its output.

    tests/drawn_images_are_current.py
"""
import filecmp
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DRAWN = (
    ("scripts/make-keyboard-images", "src/clients/iphone/Resources/keyboard"),
    ("scripts/make-app-icons", "src/clients/iphone/Resources/icons"),
)


def main():
    stale = []
    for script, folder in DRAWN:
        committed = os.path.join(ROOT, folder)
        with tempfile.TemporaryDirectory() as drawn:
            subprocess.run([sys.executable, os.path.join(ROOT, script), drawn], check=True)
            names = sorted(set(os.listdir(drawn)) | set(os.listdir(committed)))
            for name in names:
                a, b = os.path.join(drawn, name), os.path.join(committed, name)
                if not (os.path.isfile(a) and os.path.isfile(b) and filecmp.cmp(a, b, shallow=False)):
                    stale.append("%s/%s (run %s)" % (folder, name, script))
    for line in stale:
        print("not what its script draws now:", line)
    print("%d images differ" % len(stale) if stale else "every drawn image is current")
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
