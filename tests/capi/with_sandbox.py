#!/usr/bin/env python3
"""Runs a command against a fresh sandbox on an ephemeral port of 127.0.0.1.

    with_sandbox.py SANDBOX [--expect TEXT]... -- COMMAND ARG...

In the command's arguments {api}, {partner} and {notice} become the sandbox's
addresses. The sandbox is stopped afterwards whatever happens; everything is
bounded in time. With --expect, the command's output must hold each TEXT.
"""
import re
import subprocess
import sys
import threading

START_SECONDS = 20
RUN_SECONDS = 90


def main():
    args = sys.argv[1:]
    if "--" not in args:
        print(__doc__, file=sys.stderr)
        return 2
    split = args.index("--")
    options, command = args[:split], args[split + 1:]
    sandbox, expected = options[0], []
    for i, value in enumerate(options[1:-1], start=1):
        if value == "--expect":
            expected.append(options[i + 1])

    server = subprocess.Popen([sandbox, "--port", "0"], stdout=subprocess.PIPE, text=True)
    try:
        addresses = {}
        timer = threading.Timer(START_SECONDS, server.kill)
        timer.start()
        for line in server.stdout:
            match = re.search(r"api (\S+)\s+partner (\S+)\s+notice (\S+)", line)
            if match:
                addresses = dict(zip(("api", "partner", "notice"), match.groups()))
                break
        timer.cancel()
        if not addresses:
            print("with_sandbox: the sandbox did not start", file=sys.stderr)
            return 1
        command = [part.format(**addresses) for part in command]
        run = subprocess.run(command, capture_output=True, text=True, timeout=RUN_SECONDS)
        sys.stdout.write(run.stdout)
        sys.stderr.write(run.stderr)
        if run.returncode != 0:
            return run.returncode
        missing = [text for text in expected if text not in run.stdout]
        if missing:
            print("with_sandbox: output lacks " + ", ".join(repr(t) for t in missing), file=sys.stderr)
            return 1
        return 0
    finally:
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()


if __name__ == "__main__":
    sys.exit(main())
