"""What the browser tests of keyin-server share: a program folder with the databases and the
sample paper, the server as a child process, headless Chromium driven by Selenium, input-method
composition through the DevTools protocol, and reading the stored rows back with sqlcipher.

Run by ctest with Debian's /usr/bin/python3; the build folder comes from KEYIN_BUILD."""

import csv
import http.cookiejar
import io
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

BUILD = os.environ["KEYIN_BUILD"]
SOURCE = os.environ["KEYIN_SOURCE"]
BIN = os.path.join(BUILD, "bin")
SCREENSHOTS = os.path.join(BUILD, "browser-screenshots")
PASSWORD = "proctor-pw"


def sample_lines(name):
    with open(os.path.join(SOURCE, "samples", name), encoding="utf-8") as f:
        return [line.rstrip("\n") for line in f]


def typed_answer_bytes(lines):
    """The typed answer file a desktop front end writes: UTF-16LE, BOM, CR LF after every line."""
    return b"\xff\xfe" + "".join(line + "\r\n" for line in lines).encode("utf-16-le")


class ProgramFolder:
    """A fresh program folder: databases installed, the sample paper as lib/P001.LIB."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="keyin-browser-")
        self.env = dict(os.environ, KEYIN_HOME=self.root)
        self.env.pop("KEYIN_DRIVE_C", None)
        self.tool("init-db")
        self.tool("make-lib", "--part1", os.path.join(SOURCE, "samples", "paper-test1.txt"),
                  "--part2", os.path.join(SOURCE, "samples", "paper-test2.txt"),
                  os.path.join(self.root, "lib", "P001.LIB"))

    def tool(self, *arguments):
        return subprocess.run([os.path.join(BIN, "keyin-tool"), *arguments], env=self.env,
                              check=True, capture_output=True, stdin=subprocess.DEVNULL)

    def sitting(self, file_name="sitting.json", **changes):
        sitting = {"ExamPlaceNo": "A01", "ExamNo": "E01", "ExamPaperNo": "P001", "TestType": "3",
                   "SessionNo": "3", "TotTime": 600, "SubtractScore": 0,
                   "LibPath": self.root + "/lib/", "ScrPath": self.root + "/scores/",
                   "ShowResults": True}
        sitting.update(changes)
        path = os.path.join(self.root, file_name)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(sitting, f, ensure_ascii=False)
        return path

    def write(self, name, text):
        path = os.path.join(self.root, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def query(self, database, password, sql):
        """Rows of a query as lists of texts, through the sqlcipher shell (CSV mode)."""
        path = os.path.join(self.root, database)
        result = subprocess.run(
            ["sqlcipher", "-csv", path, f"PRAGMA key = '{password}';", "PRAGMA kdf_iter = 4000;",
             sql], check=True, capture_output=True)
        # Bytes, not text: line ends inside quoted values must reach the CSV reader unchanged.
        output = result.stdout.decode("utf-8")
        output = output.removeprefix("ok\r\n").removeprefix("ok\n")
        return list(csv.reader(io.StringIO(output, newline="")))

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Server:
    """keyin-server on a free loopback port, with the sitting given on its command line."""

    def __init__(self, folder, sitting, roster=None, executables=BIN, more_rooms=()):
        self.folder = folder
        self.arguments = [os.path.join(executables, "keyin-server"), "--listen", "127.0.0.1:0",
                          "--sitting", sitting,
                          "--roster", roster or os.path.join(SOURCE, "samples", "roster.csv"),
                          "--web", os.path.join(BIN, "web")]
        for more_sitting, more_roster in more_rooms:
            self.arguments += ["--sitting", more_sitting, "--roster", more_roster]
        self.process = None
        self.start()

    def start(self):
        env = dict(self.folder.env, KEYIN_PROCTOR_PASSWORD=PASSWORD)
        # Standard error goes to a file: a pipe nobody reads could block the server.
        self.errors = os.path.join(self.folder.root, "server.err")
        with open(self.errors, "a") as errors:
            self.process = subprocess.Popen(self.arguments, env=env, stdout=subprocess.PIPE,
                                            stderr=errors, stdin=subprocess.DEVNULL, text=True)
        first = self.process.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", first)
        if not match:
            self.process.wait(timeout=30)
            raise RuntimeError("keyin-server did not start: " + first + self.error_text())
        self.port = int(match.group(1))
        self.process.stdout.readline()

    def stop(self, crash=False):
        """Ends the server: SIGKILL stands for a crash, SIGTERM for an orderly stop."""
        if self.process is None:
            return
        self.process.send_signal(signal.SIGKILL if crash else signal.SIGTERM)
        status = self.process.wait(timeout=30)
        self.process.stdout.close()
        self.process = None
        # An orderly stop ends with 0; anything else (a sanitizer's report included) fails.
        if not crash and status != 0:
            raise AssertionError(f"keyin-server ended with {status}: {self.error_text()}")

    def error_text(self):
        with open(self.errors, encoding="utf-8", errors="replace") as f:
            return f.read()

    def restart_on_same_port(self):
        self.arguments[2] = f"127.0.0.1:{self.port}"
        self.start()

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}"


class ApiClient:
    """The JSON API as another front end (or a curious candidate) would call it."""

    def __init__(self, server):
        self.server = server
        self.opener = urllib.request.build_opener(
            urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))

    def call(self, method, path, body=None, raw=None, headers=None):
        data = raw if raw is not None else (None if body is None else json.dumps(body).encode())
        request = urllib.request.Request(self.server.url + path, data=data, method=method,
                                         headers=headers or {"Content-Type": "application/json"})
        try:
            with self.opener.open(request, timeout=30) as response:
                return response.status, response.read()
        except urllib.error.HTTPError as error:
            return error.code, error.read()

    def json(self, method, path, body=None):
        status, content = self.call(method, path, body)
        return status, json.loads(content or b"{}")

    def proctor(self):
        status, _ = self.json("POST", "/api/proctor/sign-in", {"password": PASSWORD})
        assert status == 200
        return self

    def candidate(self, user_id):
        code = access_code(self.server.folder, user_id)
        status, _ = self.json("POST", "/api/candidate/sign-in", {"UserID": user_id, "AccessCode": code})
        assert status == 200, status
        return self


def wait_for(condition, timeout=20, interval=0.05, message="condition"):
    # The board and the candidate page redraw on every poll; an element found a moment
    # ago may be gone, or not drawn yet, which only means "look again".
    end = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except (StaleElementReferenceException, NoSuchElementException):
            value = None
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + message)
        time.sleep(interval)


class Browser:
    """Headless Chromium with a fresh profile."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="keyin-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1280,900", "--lang=zh-TW",
                     f"--user-data-dir={self.profile}"):
            options.add_argument(flag)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_page_load_timeout(30)

    def quit(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, url):
        self.driver.get(url)

    def by_testid(self, testid, timeout=20):
        return WebDriverWait(self.driver, timeout).until(
            lambda d: d.find_element(By.CSS_SELECTOR, f'[data-testid="{testid}"]'))

    def click(self, testid, timeout=20):
        """Clicks the element, finding it again when the page redrew it meanwhile (the board
        redraws every second)."""
        end = time.monotonic() + timeout
        while True:
            try:
                self.by_testid(testid, timeout).click()
                return
            except StaleElementReferenceException:
                if time.monotonic() > end:
                    raise

    def wait_path(self, path, timeout=20):
        WebDriverWait(self.driver, timeout).until(
            lambda d: d.execute_script("return location.pathname") == path)

    def compose(self, preedit, committed):
        """One input-method composition: the preedit shown while composing, then the commit."""
        for i in range(1, len(preedit) + 1):
            self.driver.execute_cdp_cmd("Input.imeSetComposition", {
                "text": preedit[:i], "selectionStart": i, "selectionEnd": i})
        self.driver.execute_cdp_cmd("Input.insertText", {"text": committed})

    def press_enter(self):
        for kind in ("rawKeyDown", "char", "keyUp"):
            event = {"type": kind, "key": "Enter", "code": "Enter", "windowsVirtualKeyCode": 13}
            if kind == "char":
                event["text"] = "\r"
            self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", event)

    def type_lines(self, lines, preedit="ㄓㄨˋ"):
        """Types every line through compositions of up to three characters, Enter after each."""
        for line in lines:
            for start in range(0, len(line), 3):
                self.compose(preedit, line[start:start + 3])
            self.press_enter()

    def screenshot(self, name):
        os.makedirs(SCREENSHOTS, exist_ok=True)
        path = os.path.join(SCREENSHOTS, name + ".png")
        self.driver.save_screenshot(path)
        return path


def room_folder(folder):
    """Where the server keeps the state of the sitting's room (the tests open one)."""
    rooms = os.path.join(folder.root, "exam-room", "rooms")
    return os.path.join(rooms, sorted(os.listdir(rooms))[0])


def access_code(folder, user_id):
    """The code the open sitting gave the candidate, as its state holds it."""
    with open(os.path.join(room_folder(folder), "sitting.json"), encoding="utf-8") as f:
        return next(c["AccessCode"] for c in json.load(f)["roster"] if c["UserID"] == user_id)


def seat_state(folder, seat):
    with open(os.path.join(room_folder(folder), "seats", seat + ".json"), encoding="utf-8") as f:
        return json.load(f)
