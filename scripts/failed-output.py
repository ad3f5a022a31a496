#!/usr/bin/env python3
"""Print the last lines of each failing test's output from a ctest log.

Usage: failed-output.py LastTest.log LastTestsFailed.log [LINES]
LastTestsFailed.log holds lines "N:Name"; LastTest.log holds every test's
output between "Output:" and "<end of output>".
"""
import re
import sys

log_path, failed_path = sys.argv[1], sys.argv[2]
keep = int(sys.argv[3]) if len(sys.argv) > 3 else 40
try:
    with open(failed_path, encoding="utf-8", errors="replace") as f:
        failed = {line.split(":", 1)[1].strip() for line in f if ":" in line}
except OSError:
    sys.exit(0)
with open(log_path, encoding="utf-8", errors="replace") as f:
    text = f.read()
for m in re.finditer(r"^\d+/\d+ Test: ([^\n]+)\n.*?^Output:\n-+\n(.*?)^<end of output>",
                     text, re.S | re.M):
    name, output = m.group(1).strip(), m.group(2).splitlines()
    if name in failed:
        print(f"--- {name} (last {min(keep, len(output))} lines)")
        print("\n".join(output[-keep:]))
