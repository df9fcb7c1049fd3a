#!/usr/bin/env python3
"""Sends scripting commands to a running Audacity through mod-script-pipe and prints the answers.

    audacity_pipe.py [--timeout SECONDS] COMMAND...

Each COMMAND (for instance 'Import2: Filename=/tmp/in.wav') goes down the pipe
/tmp/audacity_script_pipe.to.UID and its answer is read from .from.UID, up to the line
'BatchCommand finished: ...' and the empty line after it. The exit status is 0 when every answer
ended in 'BatchCommand finished: OK', 1 when one failed, 2 when Audacity did not answer in time.

The pipes are opened in the order the server expects ("to" for writing first, then "from" for
reading) and kept open for all the commands: a client that goes away in the middle of an answer
leaves the server stuck until Audacity restarts, so an answer is always read to its end.
"""
import argparse
import os
import select
import sys
import time


def open_with_deadline(path, flags, deadline):
    # A FIFO opened for writing blocks until the server reads; O_NONBLOCK fails with ENXIO until
    # it does, so the open is retried instead of hanging past the deadline.
    while True:
        try:
            fd = os.open(path, flags | os.O_NONBLOCK)
            os.set_blocking(fd, True)
            return fd
        except OSError:
            if time.monotonic() > deadline:
                raise TimeoutError(f"{path}: no server")
            time.sleep(0.2)


def read_answer(fd, deadline):
    data = b""
    while True:
        text = data.decode("utf-8", "replace")
        lines = text.split("\n")
        for i, line in enumerate(lines):
            if line.startswith("BatchCommand finished:") and i + 2 < len(lines) and lines[i + 1] == "":
                return text, line
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise TimeoutError("no complete answer")
        ready, _, _ = select.select([fd], [], [], remaining)
        if ready:
            chunk = os.read(fd, 65536)
            if not chunk:
                raise TimeoutError("the server closed the pipe")
            data += chunk


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("commands", nargs="+")
    args = parser.parse_args()
    uid = os.getuid()
    deadline = time.monotonic() + args.timeout
    try:
        to_fd = open_with_deadline(f"/tmp/audacity_script_pipe.to.{uid}", os.O_WRONLY, deadline)
        # The "from" pipe is opened without O_NONBLOCK's retry: the server has it open by now.
        from_fd = os.open(f"/tmp/audacity_script_pipe.from.{uid}", os.O_RDONLY)
    except TimeoutError as error:
        print(error, file=sys.stderr)
        return 2
    status = 0
    for command in args.commands:
        os.write(to_fd, (command + "\n").encode())
        try:
            text, last = read_answer(from_fd, time.monotonic() + args.timeout)
        except TimeoutError as error:
            print(f"{command}: {error}", file=sys.stderr)
            return 2
        sys.stdout.write(text)
        sys.stdout.flush()
        if last.strip() != "BatchCommand finished: OK":
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
