#!/usr/bin/python3
"""Starts the installed editor on the X display in DISPLAY, waits for its window, and closes it
as a window manager does when the user clicks the close button (WM_DELETE_WINDOW); then starts it
again and ends it as logging out or a service manager does, with SIGTERM. Passes when the window
appears within 30 seconds each time and the program then exits with status 0 within 10: with
nothing to save, a termination signal takes the close button's path rather than killing it."""

import os
import signal
import subprocess
import sys
import time

from Xlib import X, Xatom, display, error, protocol

TITLE = "Kelvarin"


def find_window(screen):
    """The viewable top-level window titled TITLE, or None."""
    pending = [screen.screen().root]
    while pending:
        window = pending.pop()
        try:
            name = window.get_full_property(Xatom.WM_NAME, X.AnyPropertyType)
            if name is not None and name.value in (TITLE.encode(), TITLE):
                if window.get_attributes().map_state == X.IsViewable:
                    return window
            pending.extend(window.query_tree().children)
        except error.BadWindow:  # gone while we looked
            continue
    return None


def close_button(screen, window, editor):
    close = protocol.event.ClientMessage(
        window=window,
        client_type=screen.intern_atom("WM_PROTOCOLS"),
        data=(32, [screen.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]),
    )
    window.send_event(close)
    screen.flush()


def termination_signal(screen, window, editor):
    editor.send_signal(signal.SIGTERM)


def start_and_end(program, screen, end):
    environment = dict(os.environ, QT_QPA_PLATFORM="xcb")
    editor = subprocess.Popen([program], env=environment)
    try:
        deadline = time.monotonic() + 30
        window = None
        while window is None and time.monotonic() < deadline and editor.poll() is None:
            window = find_window(screen)
            time.sleep(0.1)
        if window is None:
            print(f"no visible window titled {TITLE} within 30 seconds "
                  f"(program {'still running' if editor.poll() is None else 'exited'})")
            return False
        geometry = window.get_geometry()
        print(f"window {window.id:#x}: {geometry.width}x{geometry.height}")
        end(screen, window, editor)
        try:
            status = editor.wait(timeout=10)
        except subprocess.TimeoutExpired:
            print(f"the program did not exit within 10 seconds of the {end.__name__}")
            return False
        print(f"shown, ended by {end.__name__}, exit status {status}")
        return status == 0
    finally:
        if editor.poll() is None:
            editor.kill()
            editor.wait()


def main():
    program = sys.argv[1]
    screen = display.Display()
    passed = [start_and_end(program, screen, end) for end in (close_button, termination_signal)]
    return 0 if all(passed) else 1


if __name__ == "__main__":
    sys.exit(main())
