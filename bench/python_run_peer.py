#!/usr/bin/python3
"""The process unit's job done with Python's subprocess.run(input=..., capture_output=True), for
the benchmark's library rows (bench/unit_driver.cpp does it with ortolib): runs a program with a
file's bytes as its standard input and its output captured, standard error joined to it
(stderr=STDOUT) or, with --split, apart; writes the output (then the standard error) to the
output file and ends with the program's exit code (1 for one ended by a signal).

    python_run_peer.py [--split] <input file> <output file> <program> [arguments...]
"""
import subprocess
import sys


def main():
    arguments = sys.argv[1:]
    split = arguments[0] == "--split"
    if split:
        arguments = arguments[1:]
    source, target, command = arguments[0], arguments[1], arguments[2:]
    with open(source, "rb") as data:
        text = data.read()
    errors = subprocess.PIPE if split else subprocess.STDOUT
    run = subprocess.run(command, input=text, stdout=subprocess.PIPE, stderr=errors, check=False)
    with open(target, "wb") as result:
        result.write(run.stdout)
        if split:
            result.write(run.stderr)
    return run.returncode if run.returncode >= 0 else 1


if __name__ == "__main__":
    sys.exit(main())
