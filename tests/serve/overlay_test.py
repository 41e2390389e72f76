"""The overlay's options and /setup in headless Chromium, on a busy evening (every mode
played, long records, a losing streak): every style at scales 0.5, 1 and 3 fits the
browser source size /setup names for it, with nothing cut inside the card; a new rating
animates unless motion=off; a changed field of /setup changes its URL and its preview; and
a server that stops and starts again on another log is waited for and then read afresh.
Skipped where Chromium or python3-websocket is missing."""
import os
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import Serve, match_lines, session_start  # noqa: E402
from vtest import find_chromium  # noqa: E402  (on the path through serve_support)

try:
    import cdp
except ImportError:  # python3-websocket missing
    cdp = None

GOALS = "1v1:1400,2v2:1800,3v3:1800,other:1500"


def busy_evening():
    """Every mode 11-12, ratings in the thousands, ending with a streak of 8 losses."""
    text, counts, n = session_start(0), {m: [0, 0] for m in range(4)}, 1
    rating = {0: 1190.55, 1: 1541.25, 2: 1520.75, 3: 1234.5}
    for mode, won in [(m, k % 2 == 0) for k in range(22) for m in range(4)] + [(m, False) for m in range(4)]:
        counts[mode][0 if won else 1] += 1
        text += match_lines(n, mode=mode, before=rating[mode], won=won, wins=counts[mode][0], losses=counts[mode][1])
        rating[mode] += 10 if won else -10
        n += 1
    return text, n, counts, rating


@unittest.skipIf(cdp is None or not find_chromium(), "chromium or python3-websocket is not installed")
class OverlayTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="vantrel-overlay-")
        self.log = Path(self.dir.name) / "VantrelLog.txt"
        text, self.next, self.counts, self.rating = busy_evening()
        self.log.write_text(text, newline="")
        self.serve = Serve(self.log)
        self.base = f"http://{self.serve.host}:{self.serve.port}"
        self.browser = cdp.Chromium(find_chromium())

    def tearDown(self):
        self.browser.close()
        self.serve.stop()
        self.dir.cleanup()

    def tab(self, path, width=1200, height=800):
        tab = self.browser.open("about:blank")
        tab.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=False)
        self.go(tab, path)
        return tab

    def go(self, tab, path):
        tab.eval("window.vantrelOld = true")  # gone with the page navigated from
        tab.call("Page.navigate", url=self.base + path)
        self.assertTrue(tab.wait_for("!window.vantrelOld && document.readyState === 'complete'", 10))

    def play(self, mode, won):
        self.counts[mode][0 if won else 1] += 1
        with open(self.log, "a", newline="") as log:
            log.write(match_lines(self.next, mode=mode, before=self.rating[mode], won=won,
                                  wins=self.counts[mode][0], losses=self.counts[mode][1]))
        self.rating[mode] += 10 if won else -10
        self.next += 1

    def test_every_style_and_scale_fits_the_source_size_setup_names(self):
        setup = self.tab("/setup")
        overlay = self.browser.open("about:blank")
        measured = []
        for style in ("card", "row", "compact"):
            for scale in ("0.5", "1", "3"):
                self.go(setup, f"/setup?style={style}&scale={scale}&goal={GOALS}&warn=3")
                self.assertTrue(setup.wait_for("(function (f) { return f.dataset.measured === f.getAttribute('src'); })"
                                               "(document.getElementById('frame'))", 10))
                width, height = [int(v) for v in setup.eval(
                    "[document.getElementById('frame').width, document.getElementById('frame').height]")]
                overlay.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                             mobile=False)
                self.go(overlay, f"/overlay?style={style}&scale={scale}&goal={GOALS}&warn=3")
                drawn = ("document.querySelectorAll('.mode').length === 4 && document.querySelectorAll('.goal').length === 4"
                         " && !document.getElementById('warn').hidden")
                self.assertTrue(overlay.wait_for(drawn, 10), f"{style} at {scale}: not drawn")
                card = overlay.eval("(function (c) { var r = c.getBoundingClientRect(), m = parseFloat(getComputedStyle(c).marginLeft);"
                                    " return [c.scrollWidth, c.clientWidth, c.scrollHeight, c.clientHeight,"
                                    " Math.ceil(r.right + m), Math.ceil(r.bottom + m)]; })(document.getElementById('card'))")
                measured.append(f"{style} {scale}: {card[4]}x{card[5]} in {width}x{height}")
                if os.environ.get("VANTREL_OVERLAY_SIZES"):
                    print(measured[-1], flush=True)
                where = f"{style} at scale {scale}: {card}"
                self.assertEqual(card[0], card[1], where)
                self.assertEqual(card[2], card[3], where)
                self.assertLessEqual(card[4], width, where)
                self.assertLessEqual(card[5], height, where)
        # The figures asked for: the division, the road to the next and the goal's bar.
        row = overlay.eval("document.querySelector('.mode[data-mode=\"2vs2\"]').textContent")
        self.assertIn("1531.25", row)
        self.assertIn("GC1 D3", row)
        self.assertIn("5.75 to go", row)
        self.assertIn("1531.25 / 1800", overlay.eval("document.querySelector('.goal[data-mode=\"2vs2\"]').textContent"))
        overlay.close()
        setup.close()

    def test_a_new_rating_animates_unless_motion_is_off(self):
        moving = self.tab("/overlay")
        still = self.tab("/overlay?motion=off&fields=change,record")
        for tab in (moving, still):
            self.assertTrue(tab.wait_for("document.querySelectorAll('.mode').length === 4", 10))
        self.play(1, True)
        record = f"{self.counts[1][0]}-{self.counts[1][1]}"
        shown = f"document.querySelector('.mode[data-mode=\"2vs2\"] .record').textContent === '{record}'"
        self.assertTrue(moving.wait_for(f"{shown} && !!document.querySelector('.mode.lit')", 10))
        self.assertTrue(still.wait_for(shown, 10))
        self.assertEqual(still.eval("document.getAnimations().length"), 0)
        self.assertIsNone(still.eval("document.querySelector('.lit')"))
        self.assertEqual(still.eval("document.querySelector('.mode[data-mode=\"2vs2\"] .change').textContent"), "\u00b10.00")
        # fields= picks and orders the figures.
        self.assertEqual(still.eval("Array.prototype.map.call(document.querySelector('.mode').children,"
                                    " function (c) { return c.className.split(' ')[0]; }).join()"), "name,change,record")

    def test_setup_builds_the_overlay_url_and_its_preview(self):
        setup = self.tab("/setup")
        frame_body = "document.getElementById('frame').contentDocument.body"
        self.assertTrue(setup.wait_for(f"{frame_body} && {frame_body}.querySelectorAll('.mode').length === 4", 10))
        setup.eval("var s = document.getElementById('style'); s.value = 'row'; s.dispatchEvent(new Event('change', {bubbles: true}));"
                   "var g = document.querySelector('input.goal[data-mode=\"2v2\"]'); g.value = '1800';"
                   "g.dispatchEvent(new Event('input', {bubbles: true}))")
        url = f"{self.base}/overlay?style=row&goal=2v2%3A1800"
        self.assertEqual(setup.eval("document.getElementById('overlay-url').value"), url)
        self.assertEqual(setup.eval("location.search"), "?style=row&goal=2v2%3A1800")
        self.assertTrue(setup.wait_for(f"{frame_body}.classList.contains('row') &&"
                                       f" {frame_body}.querySelectorAll('.goal').length === 1", 10))
        # The chat bot's URL, and its answer as the server gives it.
        text_url = setup.eval("document.getElementById('text-url').value")
        self.assertEqual(text_url, f"{self.base}/api/text?mode=2v2&goal=1800")
        code, answer = self.serve.get(text_url[len(self.base):])
        self.assertEqual(code, 200)
        self.assertTrue(setup.wait_for(f"document.getElementById('answer').textContent === {answer.decode()!r}", 10))

    def test_a_restarted_server_is_waited_for_then_read_afresh(self):
        overlay = self.tab("/overlay")
        self.assertTrue(overlay.wait_for("document.querySelectorAll('.mode').length === 4", 10))
        port = self.serve.port
        self.serve.stop()
        waiting = "!document.getElementById('waiting').hidden && document.getElementById('modes').hidden"
        self.assertTrue(overlay.wait_for(waiting, 10))
        time.sleep(2)  # a retry or two fails meanwhile: the next comes later
        other = Path(self.dir.name) / "other.txt"
        other.write_text(session_start(0) + match_lines(1, mode=2), newline="")
        self.serve = Serve(other, address=f"127.0.0.1:{port}")
        # Its event ids begin again at 1; the overlay reads the new history whole.
        self.assertTrue(overlay.wait_for("document.querySelectorAll('.mode').length === 1 &&"
                                         " document.querySelector('.mode').dataset.mode === '3vs3' &&"
                                         " document.getElementById('waiting').hidden", 30))


if __name__ == "__main__":
    unittest.main()
