#!/usr/bin/python3
"""cmdwrap's job done with Python's subprocess.run(capture_output=True): the peer a user might
pick instead, for the benchmark. Reads the argument file (CR LF as LF, 0x1A ends the data, one
argument per non-empty line), truncates it, runs the child with its output captured, writes
standard output then standard error back with every LF as CR LF, and ends with the child's exit
code (1 for a child ended by a signal: the benchmark's children end normally).

    python_peer.py <executable> <argument file>
"""
import subprocess
import sys


def main():
    executable, path = sys.argv[1], sys.argv[2]
    with open(path, "rb") as arguments:
        data = arguments.read()
    data = data.split(b"\x1a", 1)[0].replace(b"\r\n", b"\n")
    lines = [line for line in data.split(b"\n") if line]
    with open(path, "wb") as result:
        run = subprocess.run([executable, *lines], capture_output=True, check=False)
        result.write(run.stdout.replace(b"\n", b"\r\n"))
        result.write(run.stderr.replace(b"\n", b"\r\n"))
    return run.returncode if run.returncode >= 0 else 1


if __name__ == "__main__":
    sys.exit(main())
