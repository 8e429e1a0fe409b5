#!/usr/bin/env python3
"""Opens every old sample and its upgraded output in headless Chromium, and checks from the page's
elements after its scripts ran (not from the file) that the old sample runs the old viewer, the
output runs the new one, and the output shows exactly the old map's node texts.

Usage: check_samples.py CHROMIUM UPGRADE_PROGRAM EXAMPLES_DIR
"""
import shutil
import subprocess
import sys
import tempfile
from html.parser import HTMLParser
from pathlib import Path

OLD_VERSION = "1.2"
NEW_VERSION = "2.0"


class Page(HTMLParser):
    """The page's title, the viewer's version mark and the texts of the map's nodes, in the order
    drawn."""

    def __init__(self):
        super().__init__()
        self.title = ""
        self.version = None
        self.nodes = []
        self._in_node = False
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        self._in_title = tag == "title"
        attributes = dict(attrs)
        if attributes.get("id") == "orba-version":
            self.version = attributes.get("data-version")
        if "orba-node" in (attributes.get("class") or "").split():
            self._in_node = True
            self.nodes.append("")

    def handle_endtag(self, tag):
        self._in_node = False
        self._in_title = False

    def handle_data(self, data):
        if self._in_title:
            self.title += data
        if self._in_node:
            self.nodes[-1] += data


def render(chromium, path, profile):
    """The page's elements once its scripts have run, as Chromium's DOM dump gives them."""
    dump = subprocess.run(
        [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", f"--user-data-dir={profile}", "--dump-dom", path.resolve().as_uri()],
        capture_output=True, check=True, timeout=120)
    page = Page()
    page.feed(dump.stdout.decode("utf-8"))
    return page


def main():
    chromium, upgrade, examples = sys.argv[1], sys.argv[2], Path(sys.argv[3])
    failures = []
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        old = work / "old"
        shutil.copytree(examples / "old", old)
        template = work / "orba.html"
        shutil.copy(examples / "orba.html", template)
        subprocess.run([upgrade, str(template), str(old)], check=True, stdout=subprocess.DEVNULL)

        profile = work / "profile"
        template_page = render(chromium, template, profile)
        checked = 0
        for document in sorted(old.iterdir()):
            output = old / "NewORBA" / document.name
            if not output.exists():
                continue  # not a document, or one without a data block
            before = render(chromium, document, profile)
            after = render(chromium, output, profile)
            checked += 1
            name = document.name
            if before.version != OLD_VERSION:
                failures.append(f"{name}: the old sample shows viewer {before.version}")
            if after.version != NEW_VERSION:
                failures.append(f"{name}: the upgraded document shows viewer {after.version}")
            if not before.nodes:
                failures.append(f"{name}: the old viewer drew no node")
            if after.nodes != before.nodes:
                failures.append(f"{name}: upgraded nodes {after.nodes[:3]}... "
                                f"differ from the old map's {before.nodes[:3]}...")
            if after.nodes == template_page.nodes:
                failures.append(f"{name}: the upgraded document shows the template's own map")
            # The viewer names the page after the map's central topic, the first node drawn.
            if before.nodes and after.title != f"{before.nodes[0]} - 岚溪图谱 ORBA {NEW_VERSION}":
                failures.append(f"{name}: the upgraded document opens as '{after.title}'")
            print(f"{name}: {len(before.nodes)} nodes, viewer {before.version} -> {after.version}")
        if checked == 0:
            failures.append("no upgraded document to open")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
