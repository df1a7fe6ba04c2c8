#!/usr/bin/env python3
"""scripts/profile-log on logs written for each case: which phase each line's
time goes to, and what a log that is not one makes it do.

    profile_log_test.py PROFILE_LOG
"""
import os
import subprocess
import sys
import tempfile

DAY = "2024-03-09 "


def log(*lines):
    """Log lines from (time, action), the time of day on DAY unless dated;
    subject and result are filler."""
    return "".join(f"{t if ' ' in t else DAY + t}\t{a}\tC:\\Bücher\\x\tok\r\n" for t, a in lines).encode()


# name | log bytes | options | exit code | {phase: (lines, ms)} that the table must hold
CASES = [
    ("an update: settling ends with the first journal write, removals after the commit complete it",
     log(("10:00:00.000", "command line"), ("10:00:00.030", "folder created"), ("10:00:00.050", "journal written"),
         ("10:00:00.060", "file set aside"), ("10:00:00.070", "file written"), ("10:00:00.075", "value set"),
         ("10:00:00.120", "shortcut saved"), ("10:00:00.130", "files flushed to disk"),
         ("10:00:00.131", "journal committed"), ("10:00:00.140", "set-aside file deleted"),
         ("10:00:00.150", "earlier install removed"), ("10:00:00.160", "journal removed"),
         ("10:00:00.161", "result")),
     [], 0, {"settle and checks": (2, 50), "set aside": (1, 10), "files written": (1, 10), "key values set": (1, 5),
             "shortcut": (1, 45), "flush and commit": (2, 11), "completion": (3, 29), "end (the result)": (1, 1),
             "the log, first line to last": (13, 161)}),
    ("an uninstall: no commit, so its removals are a removal",
     log(("10:00:00.000", "command line"), ("10:00:00.020", "file removed"), ("10:00:00.025", "key removed"),
         ("10:00:00.026", "result")),
     [], 0, {"removal": (2, 25), "end (the result)": (1, 1)}),
    ("an earlier run rolled back at the start settles; this run's own rollback does not",
     log(("10:00:00.000", "command line"), ("10:00:00.010", "interrupted install found"),
         ("10:00:00.030", "file restored"), ("10:00:00.040", "journal written"), ("10:00:00.050", "file written"),
         ("10:00:00.080", "rollback"), ("10:00:00.090", "file deleted"), ("10:00:00.091", "result")),
     [], 0, {"settle and checks": (3, 40), "rollback": (2, 40)}),
    ("a run across midnight",
     log(("2024-03-09 23:59:59.990", "command line"), ("2024-03-10 00:00:00.010", "result")),
     [], 0, {"end (the result)": (1, 20), "the log, first line to last": (2, 20)}),
    ("a clock set back charges nothing, and the next line counts from the latest time",
     log(("10:00:01.000", "command line"), ("10:00:00.500", "file written"), ("10:00:01.100", "result")),
     [], 0, {"files written": (1, 0), "end (the result)": (1, 100)}),
    ("an action of no phase is a phase of its own",
     log(("10:00:00.000", "command line"), ("10:00:00.040", "icons polished"), ("10:00:00.041", "result")),
     [], 0, {"icons polished (unmapped)": (1, 40)}),
    ("--strict fails on it", log(("10:00:00.000", "command line"), ("10:00:00.040", "icons polished")),
     ["--strict"], 1, {"icons polished (unmapped)": (1, 40)}),
    ("a line without its result", log(("10:00:00.000", "command line")) + b"2024-03-09 10:00:00.001\tx\ty\r\n",
     [], 2, {}),
    ("a line whose time is not one", b"yesterday\tcommand line\t\t\r\n", [], 2, {}),
    ("an empty log", b"", [], 2, {}),
    ("a subject that is not UTF-8 is no obstacle",
     DAY.encode() + b"10:00:00.000\tcommand line\tC:\\B\xfccher\t\r\n" + DAY.encode() + b"10:00:00.007\tresult\t\t\r\n",
     [], 0, {"end (the result)": (1, 7)}),
]


def table_of(output):
    """{phase: (lines, ms)} from the printed table."""
    rows = {}
    for line in output.splitlines()[1:]:
        name, numbers = line[:36].strip(), line[36:].split()
        rows[name] = (int(numbers[0]), int(numbers[1]))
    return rows


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "run.log")
        for name, data, options, code, expected in CASES:
            with open(path, "wb") as file:
                file.write(data)
            run = subprocess.run([sys.argv[1], *options, path], capture_output=True, text=True)
            problems = [] if run.returncode == code else [f"exit {run.returncode}, not {code}: {run.stderr.strip()}"]
            if code == 2 and not run.stderr.startswith("profile-log: "):
                problems.append(f"no message: {run.stderr!r}")
            rows = table_of(run.stdout) if code != 2 else {}
            problems += [f"{phase}: {rows.get(phase)}, not {want}" for phase, want in expected.items()
                         if rows.get(phase) != want]
            print(f"{'FAIL' if problems else 'ok'}: {name}" + "".join(f"\n    {p}" for p in problems))
            failures += bool(problems)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
