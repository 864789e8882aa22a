"""The numbers of src/res/resource.h (commands, resources) for the scripts and the black-box
tests, read from the header itself so that they never drift from the program.

As a program: resource_ids.py NAME... prints each number on a line of its own."""
import os
import re
import sys

HEADER = os.environ.get("PELLORA_RESOURCE_H") or os.path.join(
    os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "src", "res", "resource.h")


def read(header=HEADER):
    """Every `#define NAME number` of the header, as a dictionary."""
    ids = {}
    with open(header, encoding="utf-8") as text:
        for line in text:
            match = re.match(r"\s*#\s*define\s+(\w+)\s+\(?(-?\d+)\)?\s*(?://.*)?$", line)
            if match:
                ids[match.group(1)] = int(match.group(2))
    return ids


if __name__ == "__main__":
    ids = read()
    missing = [name for name in sys.argv[1:] if name not in ids]
    if missing or len(sys.argv) < 2:
        sys.exit(f"resource_ids.py: not in {HEADER}: {' '.join(missing) or '(no name given)'}")
    for name in sys.argv[1:]:
        print(ids[name])
