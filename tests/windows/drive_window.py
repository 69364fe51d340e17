#!/usr/bin/python3
"""Starts the unpacked Windows package under Wine on the X display in DISPLAY and edits one field
as a person would: waits for the editor's window and checks its size, opens the image through
the native Open dialog, presses KEYS (which move the focus to one list and change it), and
saves with Ctrl+S. Then closes the window, which must end the program with status 0. The bytes
are compared afterwards by another step. Screenshots go to SHOTS-<moment>.png; on a failure the
screen is kept as SHOTS-failure.png.

The window is checked against the designed client size (CLIENT_SIZE_FILE, "457x769") at the
Wine prefix's DPI: with --fit whole it must have exactly that size scaled; with --fit cut the
screen must be too small for it, and the window must lie inside the screen, shorter than its
design, and as wide (only a vertical scroll bar)."""

import argparse
import os
import subprocess
import sys
import time


class Failure(Exception):
    pass


def xdotool(*arguments):
    return subprocess.run(["xdotool", *arguments], check=False, capture_output=True,
                          text=True).stdout.split()


def shot(path):
    subprocess.run(["import", "-window", "root", path], check=False, capture_output=True)


def wait_for_window(pattern, seconds, editor=None):
    """The id of the last visible window whose title matches PATTERN, or None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = xdotool("search", "--onlyvisible", "--name", pattern)
        if found:
            return found[-1]
        if editor is not None and editor.poll() is not None:
            raise Failure(f"the program exited with status {editor.returncode} "
                          "before its window appeared")
        time.sleep(0.25)
    return None


def geometry(window):
    """x, y, width, height of WINDOW once the window system has stopped moving it."""
    last = None
    for _ in range(20):
        values = dict(item.split("=") for item in xdotool("getwindowgeometry", "--shell", window))
        now = tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))
        if now == last:
            return now
        last = now
        time.sleep(0.5)
    return last


def check_size(window, designed, scale, fit, shots):
    x, y, width, height = geometry(window)
    screen_width, screen_height = (int(value) for value in xdotool("getdisplaygeometry"))
    scaled = (round(designed[0] * scale), round(designed[1] * scale))
    print(f"screen {screen_width}x{screen_height}, editor's window {width}x{height} at {x},{y}; "
          f"designed {designed[0]}x{designed[1]}, {scaled[0]}x{scaled[1]} at {scale:g}x")
    if fit == "whole":
        if (width, height) != scaled:
            raise Failure(f"the window is {width}x{height}, not the design's {scaled[0]}x"
                          f"{scaled[1]} (see {shots}-started.png)")
    else:
        if scaled[1] <= screen_height:
            raise Failure(f"the screen is tall enough for the window ({scaled[1]} pixels): "
                          "this check would prove nothing")
        if height >= scaled[1] or width < scaled[0]:
            raise Failure(f"the window should be cut in height only, to scroll down, but is "
                          f"{width}x{height} (see {shots}-started.png)")
    if x < 0 or y < 0 or x + width > screen_width or y + height > screen_height:
        raise Failure(f"the window at {x},{y}, {width}x{height}, reaches past the "
                      f"{screen_width}x{screen_height} screen (see {shots}-started.png)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--wine", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--dpi", type=int, required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--client-size", required=True)
    parser.add_argument("--fit", choices=("whole", "cut"), required=True)
    parser.add_argument("--keys", required=True)
    parser.add_argument("--shots", required=True)
    options = parser.parse_args()

    environment = dict(os.environ, WINEPREFIX=options.prefix, WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=")
    # Only the unpacked folder may provide the program's DLLs.
    environment.pop("WINEPATH", None)
    wineserver = os.path.join(os.path.dirname(options.wine), "wineserver")
    with open(options.client_size, encoding="ascii") as file:
        designed = tuple(int(value) for value in file.read().strip().split("x"))
    image = "Z:" + os.path.abspath(options.image).replace("/", "\\")

    # The display's DPI, as Windows' display settings keep it for the user.
    subprocess.run([options.wine, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                    "/t", "REG_DWORD", "/d", str(options.dpi), "/f"],
                   env=environment, check=True, capture_output=True)
    log = open(options.shots + ".log", "wb")
    editor = subprocess.Popen([options.wine, os.path.basename(options.program)],
                              cwd=os.path.dirname(options.program), env=environment,
                              stdout=log, stderr=subprocess.STDOUT)
    try:
        window = wait_for_window("^Kelvarin$", 60, editor)
        if window is None:
            raise Failure("the Kelvarin window did not appear within 60 s")
        shot(options.shots + "-started.png")
        check_size(window, designed, options.dpi / 96, options.fit, options.shots)

        xdotool("windowfocus", "--sync", window)
        xdotool("key", "ctrl+o")
        dialog = wait_for_window(r"^Open Pokemon NDS ROM\.\.\.$", 30)
        if dialog is None:
            raise Failure("the Open dialog did not appear within 30 s of Ctrl+O")
        time.sleep(1)
        shot(options.shots + "-open-dialog.png")
        xdotool("windowfocus", "--sync", dialog)
        xdotool("type", "--delay", "20", image)
        xdotool("key", "Return")
        deadline = time.monotonic() + 30
        while xdotool("search", "--onlyvisible", "--name", r"^Open Pokemon NDS ROM"):
            if time.monotonic() > deadline:
                raise Failure("the Open dialog did not close within 30 s of Return")
            time.sleep(0.25)
        time.sleep(1)
        shot(options.shots + "-loaded.png")

        xdotool("windowfocus", "--sync", window)
        xdotool("key", "--delay", "150", *options.keys.split())
        time.sleep(1)
        shot(options.shots + "-changed.png")
        xdotool("key", "ctrl+s")
        time.sleep(2)
        shot(options.shots + "-saved.png")
        boxes = xdotool("search", "--onlyvisible", "--name", "^Kelvarin$")
        if len(boxes) != 1:
            raise Failure(f"a message box is showing after Save (see {options.shots}-saved.png)")

        xdotool("windowfocus", "--sync", window)
        xdotool("key", "alt+F4")
        try:
            status = editor.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within 15 s of closing its window")
        if status != 0:
            raise Failure(f"the program ended with status {status}")
        print(f"opened {image}, pressed {options.keys}, saved and closed the window; "
              f"screenshots in {options.shots}-*.png")
        return 0
    except Failure as failure:
        shot(options.shots + "-failure.png")
        print(f"FAILED: {failure}; the screen at the failure: {options.shots}-failure.png",
              file=sys.stderr)
        return 1
    finally:
        if editor.poll() is None:
            editor.kill()
        subprocess.run([wineserver, "-k"], env=environment, check=False)
        editor.wait()
        log.close()


if __name__ == "__main__":
    sys.exit(main())
