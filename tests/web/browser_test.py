#!/usr/bin/python3
"""The browser build in a real browser: Chromium headless (WebGL 2 on SwiftShader) driven through
Selenium loads dist/web from a local server.

  tests/web/browser_test.py DIST BUILD [unittest arguments]

DIST is the page's folder (dist/web), BUILD a Linux build of the same tree (its
voltaresca-capture draws the desktop's pictures of the same moments). Screenshots of the page go
to $VOLTARESCA_WEB_SHOTS when it is set.
"""
import base64
import functools
import http.server
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

DIST = BUILD = None
SHOTS = os.environ.get("VOLTARESCA_WEB_SHOTS")
# The moments of tests/data/film_reference, at its size.
MOMENTS = [5000, 9000, 20000, 45000, 70000, 90000, 130000, 160000, 205000, 220000]
PICTURE_SIZE = (480, 270)


def read_png(data):
    """(width, height, rows of RGB bytes) of an 8-bit, non-interlaced RGB or RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, width = 8, b"", 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unsupported PNG"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for i in range(stride):
            a = row[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = row
        rows.append(bytes(row) if channels == 3 else bytes(v for k, v in enumerate(row) if k % 4 != 3))
    return width, height, rows


def psnr(a, b):
    """PSNR in dB of two RGB pictures of one size; inf when equal."""
    assert a[:2] == b[:2], "sizes differ: %sx%s and %sx%s" % (a[0], a[1], b[0], b[1])
    total = count = 0
    for ra, rb in zip(a[2], b[2]):
        total += sum((x - y) * (x - y) for x, y in zip(ra, rb))
        count += len(ra)
    return float("inf") if total == 0 else 10 * math.log10(255 * 255 / (total / count))


def mean_brightness(picture):
    return sum(sum(r) for r in picture[2]) / (picture[0] * picture[1] * 3)


class Server:
    """The page's folder over http on 127.0.0.1 (WebAssembly wants http, not file:)."""

    def __init__(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d/" % self.httpd.server_address[1]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


def chromium(width=1280, height=800):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--enable-unsafe-swiftshader", "--no-sandbox", "--disable-dev-shm-usage",
                 "--autoplay-policy=no-user-gesture-required", "--window-size=%d,%d" % (width, height),
                 "--force-device-scale-factor=1"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    service = Service(executable_path="/usr/bin/chromedriver")
    return webdriver.Chrome(options=options, service=service)


def wait_for(what, condition, timeout):
    end = time.time() + timeout
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("waited %d s for %s" % (timeout, what))


class BrowserCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="voltaresca-web-test-")
        for name in os.listdir(DIST):
            shutil.copy(os.path.join(DIST, name), cls.folder)
        with open(os.path.join(cls.folder, "broken"), "wb") as f:
            f.write(b"PK\x03\x04 this is no archive" * 64)
        cls.server = Server(cls.folder)
        cls.browser = chromium()

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def open(self, query=""):
        self.browser.get(self.server.url + "index.html" + query)
        self.browser.get_log("browser")  # what an earlier page said is not this case's

    def attribute(self, name):
        return self.browser.find_element(By.ID, "canvas").get_attribute("data-" + name)

    def canvas_picture(self, name=None):
        png = self.browser.find_element(By.ID, "canvas").screenshot_as_png
        if SHOTS and name:
            os.makedirs(SHOTS, exist_ok=True)
            with open(os.path.join(SHOTS, name + ".png"), "wb") as f:
                f.write(png)
        return read_png(png)

    def console_errors(self):
        lines = self.browser.get_log("browser")
        # The driver's performance notes (a read-back stalls the GPU) are not errors; the
        # program's own error lines ("DemoController: error: ...") are.
        return [l["message"] for l in lines if "GL Driver Message (OpenGL, Performance" not in l["message"] and
                (l["level"] == "SEVERE" or "WebGL" in l["message"] or "GL_INVALID" in l["message"]
                 or "GL error" in l["message"] or ": error: " in l["message"])]

    def clocks(self):
        """The film's and the music's time, the audio context's and the page's clocks, in ms, as
        the page noted them when the last frame told its time (one moment), the frames drawn and
        the audio context's state."""
        values = self.browser.execute_script(
            "var c = document.getElementById('canvas'), a = window.Module && Module.SDL2 && Module.SDL2.audioContext;"
            "return ['time', 'music', 'frames', 'sound', 'wall'].map(function (n) { return c.getAttribute('data-' + n); })"
            ".concat([a ? a.state : null]);")
        number = lambda v: int(v) if v else None
        film, music, frames, sound, wall = (number(v) for v in values[:5])
        return {"film": film, "music": music, "frames": frames, "sound": sound, "wall": wall, "audio": values[5]}

    def left_behind(self):
        return self.browser.execute_script(
            "var FS = Module.FS; var tmp = FS.analyzePath('/tmp').exists ? FS.readdir('/tmp') : [];"
            "return tmp.filter(function (n) { return n.indexOf('voltaresca') === 0; })"
            ".concat(FS.analyzePath('/demodat').exists ? ['/demodat'] : []);")


class PagePlays(BrowserCase):
    def test_setup_start_loading_and_the_film_with_its_music(self):
        self.open()
        image = self.browser.find_element(By.CSS_SELECTOR, "#setup img")
        wait_for("setup.png", lambda: self.browser.execute_script("return arguments[0].naturalWidth", image) > 0, 30)
        start = self.browser.find_element(By.ID, "start")
        self.assertTrue(start.is_displayed())
        self.browser.save_screenshot(os.path.join(SHOTS, "setup.png")) if SHOTS else None
        self.browser.find_element(By.ID, "fullscreen").click()  # headless has no full screen to give
        opened = time.time()
        start.click()
        seen = set()

        def loading_or_playing():
            value = self.attribute("loading")
            if value:
                seen.add(value)
            return self.attribute("state")
        wait_for("the film to start playing", loading_or_playing, 240)
        self.assertEqual(self.attribute("state"), "playing", self.browser.find_element(By.ID, "status").text)
        first_frame = time.time() - opened
        # The last count may come between two looks: it stays on the canvas.
        seen.add(self.attribute("loading"))
        self.assertGreaterEqual(len(seen), 3, "the loading progress did not advance: %s" % sorted(seen))
        # The animation files step too but are not counted in the total: the count may pass it.
        self.assertTrue(any(int(v.split("/")[0]) >= int(v.split("/")[1]) for v in seen), sorted(seen))

        wait_for("the audio context and the film's time", lambda: self.clocks()["sound"] is not None, 30)
        begin = self.clocks()
        wait_for("20 s of film", lambda: int(self.attribute("time") or 0) >= 20000, 180)
        picture = self.canvas_picture("playing_20s")
        end = self.clocks()
        # A software rasteriser on a busy machine draws a frame or two a second: the next ones
        # are waited for, not a fixed time.
        wait_for("two more frames", lambda: int(self.attribute("frames")) >= end["frames"] + 2, 30)
        later = self.canvas_picture("playing_later")
        self.assertGreater(mean_brightness(picture), 8, "the canvas is black at 20 s")
        self.assertNotEqual(picture[2], later[2], "the picture did not change over two frames")
        self.assertEqual(end["audio"], "running", "the audio context is %s" % end["audio"])
        wall, film, heard, sound = ((end[k] - begin[k]) / 1000.0 for k in ("wall", "film", "music", "sound"))
        figures = "film %.2f s, music heard %.2f s, audio context %.2f s, wall %.2f s" % (film, heard, sound, wall)
        # The film's clock follows the music the program hears, and the audio context plays it
        # in real time; all four clocks are read at the moment a frame told its time.
        self.assertGreater(sound, 0.8 * wall, "the audio context hardly moved: " + figures)
        self.assertGreater(heard, 0.8 * wall, "the music hardly moved: " + figures)
        self.assertLess(abs(film - heard), 1.0 + 0.05 * heard, "the film left the music: " + figures)
        self.assertLess(abs(film - sound), 1.0 + 0.05 * sound, "the film left the sound: " + figures)
        self.assertEqual(self.console_errors(), [])
        # Escape ends the film and takes the archive and the private folder with it.
        webdriver.ActionChains(self.browser).send_keys(Keys.ESCAPE).perform()
        wait_for("the film to end", lambda: self.attribute("state") == "ended", 60)
        self.assertEqual(self.left_behind(), [])
        print("\n  time to the film's start: %.1f s; %s" % (first_frame, figures), file=sys.stderr)


class PicturesMatchTheDesktop(BrowserCase):
    def test_the_moments_of_the_film_reference(self):
        out = tempfile.mkdtemp(prefix="voltaresca-web-capture-")
        try:
            capture = subprocess.run(
                [os.path.join(BUILD, "voltaresca-capture"), "--archive", os.path.join(DIST, "demodat"),
                 "--size", "%dx%d" % PICTURE_SIZE, "--no-grain", "--at", ",".join(str(m) for m in MOMENTS),
                 "--out", out], capture_output=True, text=True)
            self.assertEqual(capture.returncode, 0, capture.stderr)
            self.open("?at=%s&size=%dx%d&steady" % ((",".join(str(m) for m in MOMENTS),) + PICTURE_SIZE))
            wait_for("the moments", lambda: self.attribute("state") in ("shown", "failed"), 900)
            self.assertEqual(self.attribute("state"), "shown", self.browser.find_element(By.ID, "status").text)
            self.assertEqual(self.console_errors(), [])
            figures = []
            for moment in MOMENTS:
                encoded = self.browser.execute_script(
                    "var b = Module.FS.readFile(arguments[0]), s = '';"
                    "for (var i = 0; i < b.length; i += 8192) s += String.fromCharCode.apply(null, b.subarray(i, i + 8192));"
                    "return btoa(s);", self.attribute("shots") + "at_%d.png" % moment)
                web_png = base64.b64decode(encoded)
                if SHOTS:
                    os.makedirs(SHOTS, exist_ok=True)
                    with open(os.path.join(SHOTS, "web_at_%07d.png" % moment), "wb") as f:
                        f.write(web_png)
                web = read_png(web_png)
                with open(os.path.join(out, "at_%09.1f.png" % moment), "rb") as f:
                    desktop = read_png(f.read())
                figures.append((moment, psnr(web, desktop)))
            print("\n  PSNR browser/desktop: " + ", ".join("%d ms %.1f dB" % f for f in figures), file=sys.stderr)
            for moment, db in figures:
                self.assertGreaterEqual(db, 35.0, "moment %d ms: %.1f dB" % (moment, db))
        finally:
            shutil.rmtree(out, ignore_errors=True)


class BrokenArchives(BrowserCase):
    def desktop_reason(self, archive):
        """The desktop's last log line for this archive, with the archive's path as the page names it."""
        run = subprocess.run([os.path.join(BUILD, "voltaresca-capture"), "--archive", archive, "--size", "64x36",
                              "--at", "0", "--out", tempfile.gettempdir()], capture_output=True, text=True)
        self.assertNotEqual(run.returncode, 0)
        line = run.stderr.strip().splitlines()[-1]
        return line.replace("voltaresca-capture: ", "").replace(archive, "/demodat" if "broken" in archive else "/nothing")

    def check(self, query, archive):
        self.open(query)
        wait_for("the failure", lambda: self.attribute("state") == "failed", 120)
        status = self.browser.find_element(By.ID, "status").text
        self.assertIn(self.desktop_reason(archive), status)
        self.assertEqual(self.left_behind(), [])

    def test_missing(self):
        self.check("?archive=nothing&start", os.path.join(self.folder, "nothing"))

    def test_broken(self):
        self.check("?archive=broken&start", os.path.join(self.folder, "broken"))


if __name__ == "__main__":
    DIST, BUILD = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
