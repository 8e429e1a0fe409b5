#!/usr/bin/env python3
"""What a screen reader is told of the window: every focusable control has a name, read through
the desktop's accessibility bus (AT-SPI) as a screen reader reads it, not through Qt.

Usage: check_names.py PROGRAM   (in a D-Bus session of its own, as the test starts it; the
script starts its own virtual display, on a number the X server picks free)
"""
import os
import subprocess
import sys
import time

import pyatspi

WINDOW_TITLE = "ORBA批量升级工具"
EXPECTED = {
    # role, name, description (None: not checked), the label that names it (None: none)
    "模板文件": ("text", "指定新版本的ORBA文件，作为旧版本升级的目标。可以是orba.html，也可使用其他任何ORBA文件。", "【选择模板文件】"),
    "旧文件所在文件夹": ("text", "此文件夹中所有ORBA都将被升级，升级后的文件存储在其下子文件夹NewORBA中。", "【指定旧文件所在文件夹】"),
    "升级进度": ("text", None, "升级进度"),
    "岚溪图谱ORBA标志": ("image", None, None),
    "【青衡书院】公众号二维码": ("image", None, None),
}


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def find_window(process):
    deadline = time.time() + 30
    while time.time() < deadline:
        if process.poll() is not None:
            sys.exit(f"the window program ended with {process.returncode}")
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == WINDOW_TITLE:
                    return window
        time.sleep(0.5)
    sys.exit("the window never appeared on the accessibility bus")


def labelled_by(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


def start_display():
    """An X server of our own; it writes the display number it took to the pipe."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], pass_fds=[write_end])
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        sys.exit("the virtual display did not start")
    return server, ":" + number


def main():
    server, display = start_display()
    environment = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       QT_QPA_PLATFORM="xcb")
    process = subprocess.Popen([sys.argv[1]], env=environment)
    failures = []
    try:
        window = find_window(process)
        focusable = [n for n in walk(window) if n.getState().contains(pyatspi.STATE_FOCUSABLE)]
        print(f"{len(focusable)} focusable controls:")
        for node in focusable:
            print(f"  {node.getRoleName()}: {node.name!r}")
            if not node.name.strip():
                failures.append(f"a focusable {node.getRoleName()} has no name")
        if len(focusable) != 8:
            failures.append(f"expected 8 focusable controls, found {len(focusable)}")
        by_name = {n.name: n for n in walk(window) if n.name}
        for name, (role, description, label) in EXPECTED.items():
            node = by_name.get(name)
            if node is None:
                failures.append(f"nothing is named {name!r}")
                continue
            if role not in node.getRoleName():
                failures.append(f"{name!r} is a {node.getRoleName()}, not a {role}")
            if description is not None and node.description != description:
                failures.append(f"{name!r} is described as {node.description!r}")
            if label is not None and label not in labelled_by(node):
                failures.append(f"{name!r} is labelled by {labelled_by(node)}, not {label!r}")
    finally:
        process.terminate()
        process.wait(timeout=10)
        server.terminate()
        server.wait(timeout=10)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(1)
    print("every focusable control has a name")


if __name__ == "__main__":
    main()
