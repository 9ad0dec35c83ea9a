# SPDX-License-Identifier: GPL-3.0-or-later
"""The phone's geometry and colours, read from their one home, the header
src/platform/PhoneLook.h, for the scripts that draw the app's images.

    import phone_look
    look = phone_look.read()
    look["kKeyRowHeight"]            # 60
    phone_look.rgba(look["kTint"])   # (0, 122, 255, 255)

Each `constexpr` line of the header is `constexpr <type> k<Name> = <value>;`
where the value is a number, a name defined above it, or a sum or difference
of those. Anything else on such a line is an error, so that a constant the
scripts cannot read is found at once.
"""
import os
import re

HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "src", "platform", "PhoneLook.h")
CONSTANT = re.compile(r"^\s*constexpr\s+[\w:]+\s+(k\w+)\s*=\s*([^;]+);\s*$")


def _value(expression, known):
    total, sign = 0, 1
    for token in re.split(r"\s*([+-])\s*", expression.strip()):
        if token in ("+", "-"):
            sign = 1 if token == "+" else -1
        elif token in known:
            total += sign * known[token]
        else:
            total += sign * int(token, 0)  # raises on anything but a number
    return total


def read(path=HEADER):
    """Every constant of the header, by name."""
    values = {}
    with open(path, encoding="utf-8") as header:
        for number, line in enumerate(header, 1):
            if not line.lstrip().startswith("constexpr"):
                continue
            match = CONSTANT.match(line)
            if not match:
                raise ValueError("%s:%d: not a constant the scripts can read: %s" % (path, number, line.strip()))
            try:
                values[match.group(1)] = _value(match.group(2), values)
            except ValueError:
                raise ValueError("%s:%d: not a number or a known name: %s" % (path, number, match.group(2)))
    return values


def rgb(colour):
    """0xRRGGBB as a (red, green, blue) tuple."""
    return ((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF)


def rgba(colour, alpha=255):
    return rgb(colour) + (alpha,)
