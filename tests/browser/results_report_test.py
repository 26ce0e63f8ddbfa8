#!/usr/bin/python3
"""The HTML class report of keyin-tool results, opened in headless Chromium.

Scores a few dozen results of three kinds through keyin-scorer in a temporary program folder,
writes the class report, and checks in the browser that the scatter chart holds one point per
result (marked data-user), that the page loads nothing from outside, and that every section is
there. A full-page screenshot and an A4 print are kept in the output folder for people to look at.

Usage: results_report_test.py --tool KEYIN_TOOL --scorer KEYIN_SCORER --samples DIR --out DIR
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

NAMES = ["王小明", "李大同", "陳小美", "林志明", "張家豪", "黃淑芬", "吳建宏", "劉怡君",
         "蔡宗翰", "楊雅婷", "許文傑", "鄭欣怡"]


def with_mistakes(lines, every):
    """The lines with every `every`-th character replaced by a wrong one (none for 0)."""
    if every == 0:
        return lines
    changed, count = [], 0
    for line in lines:
        chars = list(line)
        for i in range(len(chars)):
            count += 1
            if count % every == 0:
                chars[i] = "錯"
        changed.append("".join(chars))
    return changed


def main():
    args = test_arguments()
    home = tempfile.mkdtemp(prefix="keyin-browser-")
    # faketime preloads its library ahead of a sanitized build's runtime, which that runtime
    # refuses unless told the order is intended; the test's own sanitizer options stay.
    asan = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
    env = dict(os.environ, KEYIN_HOME=home, TZ="UTC", ASAN_OPTIONS=asan)
    env.pop("KEYIN_DRIVE_C", None)
    try:
        run = lambda command: subprocess.run(command, env=env, check=True, capture_output=True)
        run([args.tool, "init-db"])
        papers = {}
        for paper in ("P001", "P002"):
            run([args.tool, "make-lib", "--part1", os.path.join(args.samples, "paper-test1.txt"),
                 "--part2", os.path.join(args.samples, "paper-test2.txt"),
                 os.path.join(home, "lib", paper + ".LIB")])
        for part in (1, 2):
            with open(os.path.join(args.samples, "paper-test%d.txt" % part), encoding="utf-8") as f:
                papers[part] = [line.rstrip("\n") for line in f]
        scores = os.path.join(home, "scores")
        os.makedirs(scores)

        def score(test_type, user, name, seat, paper, day, lines, every, use_time):
            for part in (1, 2):
                typed_answer(with_mistakes(papers[part][:lines], every),
                             os.path.join(scores, "CTEST-%d" % part))
                fields = ["A01", "E01", paper, "", test_type, user, name, "3", seat, str(part),
                          "600", str(use_time), "0", home + "/lib/", scores + "/", "甲班"]
                run(["faketime", "-f", "%s 10:0%d:00" % (day, part), args.scorer,
                     ",".join(fields)])

        for i, name in enumerate(NAMES):
            user, seat = "S%03d" % (i + 1), "%02d" % (i + 1)
            # A mock test for everyone, speeds and error rates spread by lines, time and mistakes.
            score("3", user, name, seat, "P001", "2024-03-04", 3 + i % 5, (0, 40, 15, 8)[i % 4],
                  60 + 10 * (i % 3))
            if i < 6:
                score("5", user, name, seat, "P002", "2024-03-05", 2 + i % 4, (0, 20)[i % 2], 60)
                # Practice on four days: two papers, two parts each, getting faster.
                for day, paper, lines in (("2024-03-06", "P001", 2), ("2024-03-13", "P002", 3)):
                    score("1", user, name, seat, paper, day, lines + i % 3, (0, 30)[i % 2],
                          90 - 10 * (day > "2024-03-10"))

        rows = json.loads(run([args.tool, "results", "--format", "json"]).stdout)
        report = os.path.join(args.out, "results-report.html")
        run([args.tool, "results", "--output", report])

        driver = start_chromium(home)
        try:
            driver.get("file://" + report)
            points = driver.find_elements(By.CSS_SELECTOR, "svg [data-user]")
            assert len(rows) >= 30, "a few dozen results: %d" % len(rows)
            assert len(points) == len(rows), "%d points for %d results" % (len(points), len(rows))
            for point in points:
                box = point.rect
                assert box["width"] > 0 and box["height"] > 0, "a point is not drawn"
            assert driver.find_element(By.TAG_NAME, "html").get_attribute("lang") == "zh-Hant"
            loaded = driver.execute_script(
                "return performance.getEntriesByType('resource').map(e => e.name)")
            assert loaded == [], "loads from outside: %s" % loaded
            headings = [h.text for h in driver.find_elements(By.TAG_NAME, "h2")]
            for heading in ("摘要", "速度分布", "速度與錯誤率", "成績一覽", "練習歷程", "最常錯的字"):
                assert heading in headings, "no section %s in %s" % (heading, headings)
            ranked = driver.find_elements(By.CSS_SELECTOR, "section table tbody tr")
            assert len(ranked) >= len(rows)

            # The whole page as a picture, and as it prints on A4.
            height = driver.execute_script("return document.documentElement.scrollHeight")
            shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
                "captureBeyondViewport": True, "format": "png",
                "clip": {"x": 0, "y": 0, "width": 1200, "height": height, "scale": 1}})
            with open(os.path.join(args.out, "results-report.png"), "wb") as out:
                out.write(base64.b64decode(shot["data"]))
            pdf = driver.execute_cdp_cmd("Page.printToPDF", {"preferCSSPageSize": True})
            with open(os.path.join(args.out, "results-report.pdf"), "wb") as out:
                out.write(base64.b64decode(pdf["data"]))
        finally:
            driver.quit()
        print("results report: %d results, %d points; %s" % (len(rows), len(points), args.out))
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
