#!/usr/bin/env python3
"""Runs one privileged script in a running Firefox or Thunderbird and prints its result.

Usage: marionette.py PROFILE_DIR SCRIPT

The application runs with --marionette and --remote-allow-system-access on the
profile PROFILE_DIR, whose user.js sets "marionette.port" to 0: the port it
chose is read from the profile's "MarionetteActivePort". SCRIPT runs in the
chrome context as an asynchronous script (its result goes to arguments[0]).
The application is asked to quit afterwards.
"""
import json
import os
import socket
import sys
import time


def read_message(sock):
    length = b""
    while not length.endswith(b":"):
        byte = sock.recv(1)
        if not byte:
            raise EOFError("connection closed")
        length += byte
    size = int(length[:-1])
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            raise EOFError("connection closed")
        data += chunk
    return json.loads(data)


def command(sock, ident, name, parameters):
    data = json.dumps([0, ident, name, parameters]).encode()
    sock.sendall(str(len(data)).encode() + b":" + data)
    reply = read_message(sock)
    if reply[2] is not None:
        raise RuntimeError(f"{name}: {reply[2]}")
    return reply[3]


def main():
    profile, script = sys.argv[1], sys.argv[2]
    port_file = os.path.join(profile, "MarionetteActivePort")
    deadline = time.monotonic() + 60
    while not os.path.exists(port_file):
        if time.monotonic() > deadline:
            sys.exit("no Marionette port in " + profile)
        time.sleep(0.1)
    time.sleep(0.2)
    port = int(open(port_file).read().strip())
    with socket.create_connection(("127.0.0.1", port), timeout=60) as sock:
        read_message(sock)
        command(sock, 1, "WebDriver:NewSession", {"capabilities": {}})
        command(sock, 2, "Marionette:SetContext", {"value": "chrome"})
        result = command(sock, 3, "WebDriver:ExecuteAsyncScript", {"script": script, "args": []})
        print(result["value"])
        try:
            command(sock, 4, "Marionette:Quit", {"flags": ["eForceQuit"]})
        except (EOFError, OSError):
            pass


if __name__ == "__main__":
    main()
