#!/usr/bin/python3
"""The visual report of a scored part (keyin-tool report), opened in headless Chromium.

Writes the report's page and JSON of the bundled sample answer in a temporary program folder, and
checks in the browser (the numbers are the scorer's: tests/e2e/report_test.cpp) that every mark
the JSON lists is one element with its data-mark (a wrong one with the expected and the typed
character), that each mark has a shape besides its colour, on screen and in print, and that the
page loads nothing at all. A second
answer, with every kind of line (wrong, extra and missing characters, a skipped and an unmatched
line), is checked the same way. Screenshots and A4 prints are kept in the output folder.

Usage: score_report_test.py --tool KEYIN_TOOL --scorer KEYIN_SCORER --samples DIR --out DIR
"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile

from selenium.webdriver.common.by import By

from common import start_chromium, test_arguments, typed_answer


def every_kind_of_line(paper):
    """The paper's lines typed with a wrong, an extra and a left-out character, a skipped line
    and a line that copies nothing."""
    lines = list(paper)
    lines[1] = lines[1][:3] + "錯" + lines[1][4:]
    lines[3] = lines[3][:5] + "多" + lines[3][5:]
    lines[4] = lines[4][:2] + lines[4][3:]
    del lines[2]
    lines.insert(5, "今天天氣很好，我們去郊遊吧！")
    return lines


# The shape each mark keeps in black and white, read from its computed style.
SHAPES = {
    "missing": "return getComputedStyle(arguments[0]).outlineStyle",
    "extra": "return getComputedStyle(arguments[0]).textDecorationLine",
    "wrong": "return getComputedStyle(arguments[0]).textDecorationLine",
}
EXPECTED_SHAPE = {"missing": "solid", "extra": "line-through", "wrong": "underline"}


def check_page(driver, page, report, name, out):
    """Opens the page and checks it against the report's JSON."""
    url = "file://" + page
    driver.get("about:blank")
    driver.get_log("performance")  # what the browser's own pages requested
    driver.get(url)
    assert driver.find_element(By.TAG_NAME, "html").get_attribute("lang") == "zh-Hant"

    # One element per mark of the JSON, in the order of the lines.
    expected = [(line["typed"], mark["kind"], mark.get("expected"), mark.get("typed"))
                for line in report["lines"] for mark in line["marks"]]
    found = []
    blocks = driver.find_elements(By.CSS_SELECTOR, "[data-typed-line]")
    assert len(blocks) == len(report["lines"]), "%d blocks, %d lines" % (
        len(blocks), len(report["lines"]))
    for block, line in zip(blocks, report["lines"]):
        assert block.get_attribute("data-typed-line") == str(line["typed"])
        reference = line["reference"]
        assert block.get_attribute("data-reference-line") == ("" if reference is None
                                                              else str(reference))
        for mark in block.find_elements(By.CSS_SELECTOR, "[data-mark]"):
            kind = mark.get_attribute("data-mark")
            found.append((line["typed"], kind, mark.get_attribute("data-expected"),
                          mark.get_attribute("data-typed")))
            box = mark.rect
            assert box["width"] > 0 and box["height"] > 0, "a mark is not drawn"
            shape = driver.execute_script(SHAPES[kind], mark)
            assert EXPECTED_SHAPE[kind] in shape, "%s mark has no shape: %s" % (kind, shape)
    # Within a line the page has the reference row's marks before the typed row's.
    assert sorted(found, key=str) == sorted(expected, key=str), "page %s, JSON %s" % (
        found, expected)
    skipped = [int(b.get_attribute("data-skipped-line"))
               for b in driver.find_elements(By.CSS_SELECTOR, "[data-skipped-line]")]
    assert skipped == report["skipped"], "skipped %s, JSON %s" % (skipped, report["skipped"])

    # The page requested nothing but itself, and loaded no resource.
    events = [json.loads(entry["message"])["message"] for entry in driver.get_log("performance")]
    requested = [e["params"]["request"]["url"] for e in events
                 if e["method"] == "Network.requestWillBeSent"
                 and e["params"].get("documentURL") == url]
    assert requested == [url], "requests: %s" % requested
    loaded = driver.execute_script(
        "return performance.getEntriesByType('resource').map(e => e.name)")
    assert loaded == [], "loads: %s" % loaded

    height = driver.execute_script("return document.documentElement.scrollHeight")
    shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
        "captureBeyondViewport": True, "format": "png",
        "clip": {"x": 0, "y": 0, "width": 1200, "height": height, "scale": 1}})
    with open(os.path.join(out, name + ".png"), "wb") as picture:
        picture.write(base64.b64decode(shot["data"]))

    # In print every mark keeps its shape.
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
    for kind in SHAPES:
        for mark in driver.find_elements(By.CSS_SELECTOR, '[data-mark="%s"]' % kind):
            shape = driver.execute_script(SHAPES[kind], mark)
            assert EXPECTED_SHAPE[kind] in shape, "printed %s mark has no shape" % kind
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})
    pdf = driver.execute_cdp_cmd("Page.printToPDF", {"preferCSSPageSize": True})
    with open(os.path.join(out, name + ".pdf"), "wb") as printed:
        printed.write(base64.b64decode(pdf["data"]))
    return len(found)


def main():
    args = test_arguments()
    home = tempfile.mkdtemp(prefix="keyin-browser-")
    env = dict(os.environ, KEYIN_HOME=home, TZ="UTC")
    env.pop("KEYIN_DRIVE_C", None)
    env.pop("KEYIN_DATABASE_URL", None)
    try:
        run = lambda command: subprocess.run(command, env=env, check=True, capture_output=True)
        run([args.tool, "init-db"])
        run([args.tool, "make-lib", "--part1", os.path.join(args.samples, "paper-test1.txt"),
             "--part2", os.path.join(args.samples, "paper-test2.txt"),
             os.path.join(home, "lib", "P001.LIB")])
        with open(os.path.join(args.samples, "paper-test1.txt"), encoding="utf-8") as f:
            paper = [line.rstrip("\n") for line in f]
        with open(os.path.join(args.samples, "typed-test1.txt"), encoding="utf-8") as f:
            sample = [line.rstrip("\n") for line in f]
        scores = os.path.join(home, "scores")
        os.makedirs(scores)
        fields = ["A01", "E01", "P001", "", "3", "S123456789", "王小明", "3", "15", "1", "600",
                  "300", "0", home + "/lib/", scores + "/", "甲班"]

        driver = start_chromium(home, log_requests=True)
        try:
            marks = {}
            for name, answer, method in (
                    ("score-report", sample, []),
                    ("score-report-every-line", every_kind_of_line(paper), []),
                    ("score-report-with-codes", every_kind_of_line(paper),
                     ["--method", "倉頡"])):
                typed_answer(answer, os.path.join(scores, "CTEST-1"))
                page = os.path.join(args.out, name + ".html")
                run([args.tool, "report", *method, "--output", page, ",".join(fields)])
                report = json.loads(run([args.tool, "report", *method, "--format", "json",
                                         ",".join(fields)]).stdout)
                marks[name] = check_page(driver, page, report, name, args.out)
                if method and report["codes"]["missing"] == "":
                    # Each missed character's code, in its mark's title and in the table.
                    coded = {mark["expected"]: mark["code"]["keys"] for line in report["lines"]
                             for mark in line["marks"] if "code" in mark}
                    shown = {m.get_attribute("data-expected"): m.get_attribute("data-code")
                             for m in driver.find_elements(By.CSS_SELECTOR, "[data-code]")}
                    assert coded and shown == coded, "page %s, JSON %s" % (shown, coded)
                    # ... and its keys visible under it.
                    for mark in driver.find_elements(By.CSS_SELECTOR, "[data-code]"):
                        keys = mark.find_element(By.XPATH, "ancestor::ruby[@class='keys']/rt")
                        assert keys.text == mark.get_attribute("data-code"), keys.text
                        assert keys.rect["y"] >= mark.rect["y"] + mark.rect["height"] - 2, \
                            "the keys stand under the character"
                    assert "倉頡字碼" in driver.find_element(By.TAG_NAME, "body").text
                elif not method:
                    assert not driver.find_elements(By.CSS_SELECTOR, ".keys"), "keys without codes"
                if name == "score-report-every-line":  # the page shows every kind of mark
                    kinds = {mark["kind"] for line in report["lines"] for mark in line["marks"]}
                    assert kinds == {"missing", "extra", "wrong"}, kinds
        finally:
            driver.quit()
        print("score reports: %s marks; %s" % (marks, args.out))
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
