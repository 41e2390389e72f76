"""The live pages in a real browser: vantrel-host plays matches into the plug-in's log
while vantrel-report --serve follows it, and headless Chromium shows /overlay and / . Each
new match must reach both pages' DOM within 2 s of its line, without a reload; the
overlay's screenshot has a transparent background; and the pages ask nothing of any
other host. Skipped where Chromium or python3-websocket is missing."""
import base64
import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import Serve  # noqa: E402
from vtest import find_chromium  # noqa: E402  (on the path through serve_support)

try:
    import cdp
except ImportError:  # python3-websocket missing
    cdp = None

HOST = os.environ.get("VANTREL_HOST", "vantrel-host")


@unittest.skipIf(cdp is None or not find_chromium(), "chromium or python3-websocket is not installed")
class LivePagesTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="vantrel-live-")
        self.work = Path(self.dir.name)
        self.log = self.work / "VantrelLog.txt"
        self.host = subprocess.Popen([HOST, "--workdir", str(self.work), "-"], stdin=subprocess.PIPE,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.play("mmr 10 757 rank 12 0\nmmr 11 1000.5 rank 15 0\nmmr 13 850 rank 13 1\nunload\nload\nwait 5")
        self.serve = Serve(self.log)
        self.browser = cdp.Chromium(find_chromium())

    def tearDown(self):
        self.browser.close()
        self.host.stdin.close()
        self.host.wait(timeout=30)
        self.assertEqual(self.serve.stop(), 0)
        self.dir.cleanup()

    def play(self, commands):
        self.host.stdin.write(commands + "\n")
        self.host.stdin.flush()

    def match_line_seen(self, count, timeout=10):
        """Waits until the log holds `count` match lines; returns when the last was seen."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.log.exists() and self.log.read_text().count("Match ended:") >= count:
                return time.time()
            time.sleep(0.005)
        self.fail(f"the host wrote no match line {count}")

    def test_new_matches_reach_both_pages_without_a_reload(self):
        base = f"http://{self.serve.host}:{self.serve.port}"
        overlay = self.browser.open(base + "/overlay?modes=2v2,3v3&scale=1.5")
        page = self.browser.open(base + "/")
        for tab in (overlay, page):
            tab.call("Network.enable")
            # A new tab is about:blank, already complete, before it goes to the address.
            self.assertTrue(tab.wait_for(f"location.origin === '{base}' && document.readyState === 'complete'", 10))
            tab.eval("window.vantrelMarker = 1")  # gone after a reload
        self.assertTrue(overlay.wait_for("!document.getElementById('none').hidden", 5))

        played = 0
        for result, rating, shown in (("win", 1012.25, "+11.75"), ("loss", 1001.0, "+0.50")):
            self.play(f"match start 11 team 0\nwait 30\nmatch end {result}")
            played += 1
            seen = self.match_line_seen(played)
            rows = f"document.querySelectorAll('table.matches tbody tr').length === {played}"
            record = "1-0" if played == 1 else "1-1"
            cell = f"(document.querySelector('.mode[data-mode=\"2vs2\"] .record') || {{}}).textContent === '{record}'"
            took_page = page.wait_for(rows, 2 - (time.time() - seen))
            took_overlay = overlay.wait_for(cell, 2 - (time.time() - seen))
            self.assertIsNotNone(took_page, "the page did not show the match within 2 s")
            self.assertIsNotNone(took_overlay, "the overlay did not show the match within 2 s")
            change = f"(document.querySelector('.mode[data-mode=\"2vs2\"] .change') || {{}}).textContent"
            if played == 1:  # no change known yet: a dash
                self.assertEqual(overlay.eval(change), "\u2013")
            # The rating found 3 s later changes the overlay's figures too.
            self.play(f"mmr 11 {rating} rank 15 1 after 3\nwait 6")
            self.assertTrue(overlay.wait_for(f"{change} === '{shown}'", 5), overlay.eval(change))
        self.assertEqual(page.eval("window.vantrelMarker"), 1)
        self.assertEqual(overlay.eval("window.vantrelMarker"), 1)
        self.assertEqual(overlay.eval("document.getElementById('last').textContent"), "Last: Lost 2vs2 \u221211.25")
        self.assertIn("2 matches", page.eval("document.querySelector('.sub').textContent"))

        # The overlay's background is transparent: a corner clear, the card drawn.
        overlay.call("Emulation.setDefaultBackgroundColorOverride", color={"r": 0, "g": 0, "b": 0, "a": 0})
        overlay.call("Emulation.setDeviceMetricsOverride", width=480, height=240, deviceScaleFactor=1, mobile=False)
        shot = base64.b64decode(overlay.call("Page.captureScreenshot", format="png")["data"])
        if os.environ.get("VANTREL_OVERLAY_SHOT"):
            Path(os.environ["VANTREL_OVERLAY_SHOT"]).write_bytes(shot)
        width, height, rows = cdp.read_png(shot)
        self.assertEqual(rows[height - 1][width - 1][3], 0)
        self.assertEqual(rows[2][width - 2][3], 0)
        self.assertGreater(rows[30][30][3], 150)

        # Every request the pages made went to the server itself.
        for tab in (overlay, page):
            tab.eval("1")
            urls = [n["params"]["request"]["url"] for n in tab.notices if n.get("method") == "Network.requestWillBeSent"]
            self.assertTrue(urls)
            self.assertEqual([u for u in urls if not u.startswith(base + "/")], [])
            tab.close()


if __name__ == "__main__":
    unittest.main()
