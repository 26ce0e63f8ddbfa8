"""What the browser tests share: their command line, typed answers as a front end writes them,
and headless Chromium started as the project runs it (Debian's chromium and chromedriver, a fresh
profile)."""
import argparse
import os

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def test_arguments():
    """--tool KEYIN_TOOL --scorer KEYIN_SCORER --samples DIR --out DIR; the output folder is
    made when missing."""
    parser = argparse.ArgumentParser()
    for name in ("--tool", "--scorer", "--samples", "--out"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    return args


def typed_answer(lines, path):
    """UTF-16LE with a byte-order mark and CR LF, as a front end writes it."""
    with open(path, "wb") as out:
        out.write("\ufeff".encode("utf-16-le"))
        for line in lines:
            out.write((line + "\r\n").encode("utf-16-le"))


def start_chromium(profile, log_requests=False):
    """Headless Chromium with its profile in the folder `profile`, 1200 pixels wide; with
    `log_requests` the DevTools network events are kept for driver.get_log("performance")."""
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + os.path.join(profile, "chromium"),
                 "--window-size=1200,900"):
        options.add_argument(flag)
    if log_requests:
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
