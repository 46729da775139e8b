#!/usr/bin/env python3
"""Converts a dense ARFF file to BASE.data + BASE.names (C4.5 form), the class being the last
attribute. Usage: arff_to_names.py FILE.arff[.gz] BASE

Numeric attributes become `continuous`, nominal ones list their values in the declared order,
string and date attributes become `ignore`. Values that hold a comma are quoted."""
import gzip
import re
import sys


def split_values(text):
    """Splits an ARFF value list at commas outside quotes; drops the quotes."""
    values, current, quote, i = [], "", None, 0
    while i < len(text):
        c = text[i]
        if quote:
            if c == "\\" and i + 1 < len(text):
                current += text[i + 1]
                i += 1
            elif c == quote:
                quote = None
            else:
                current += c
        elif c in "'\"":
            quote = c
        elif c == ",":
            values.append(current.strip())
            current = ""
        else:
            current += c
        i += 1
    values.append(current.strip())
    return values


def unquote(name):
    name = name.strip()
    if len(name) >= 2 and name[0] == name[-1] and name[0] in "'\"":
        return name[1:-1]
    return name


def field(value):
    if "," in value or value.startswith(("'", '"')):
        return '"' + value + '"' if '"' not in value else "'" + value + "'"
    return value


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, base = sys.argv[1], sys.argv[2]
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    attributes, records, in_data = [], [], False
    for line in lines:
        s = line.strip()
        if not s or s.startswith("%"):
            continue
        if in_data:
            records.append(split_values(s))
            continue
        low = s.lower()
        if low.startswith("@attribute"):
            m = re.match(r"@attribute\s+('[^']*'|\"[^\"]*\"|\S+)\s+(.*)$", s, re.I)
            name, kind = unquote(m.group(1)), m.group(2).strip()
            if kind.startswith("{"):
                attributes.append((name, split_values(kind[1 : kind.rindex("}")])))
            elif kind.lower() in ("numeric", "real", "integer"):
                attributes.append((name, "continuous"))
            else:
                attributes.append((name, "ignore"))
        elif low.startswith("@data"):
            in_data = True
    class_name, class_values = attributes[-1]
    with open(base + ".names", "w") as f:
        f.write("| Converted from %s; the class is %s.\n\n" % (path.split("/")[-1], class_name))
        f.write(", ".join(field(v) for v in class_values) + ".\n\n")
        for name, kind in attributes[:-1]:
            text = kind if isinstance(kind, str) else ", ".join(field(v) for v in kind)
            f.write("%s: %s.\n" % (name, text))
    with open(base + ".data", "w") as f:
        for r in records:
            if len(r) != len(attributes):
                sys.exit("%s: a record has %d values, expected %d" % (path, len(r), len(attributes)))
            f.write(",".join(field(v) for v in r) + "\n")


if __name__ == "__main__":
    main()
