"""Browser tests of keyin-server: a candidate sits a test in headless Chromium, typing Chinese
through real input-method compositions; the proctor watches the board and exports the results.
Each test starts its own program folder, server and browser; screenshots are kept under
<build>/browser-screenshots/."""

import base64
import datetime
import json
import os
import re
import subprocess
import sys
import time
import unittest

from selenium.webdriver.common.print_page_options import PrintOptions

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402
from harness import ApiClient, Browser, ProgramFolder, Server, wait_for  # noqa: E402

USER = "S123456789"


class ExamRoomTest(unittest.TestCase):
    sitting_changes = {}

    def setUp(self):
        self.folder = ProgramFolder()
        self.server = Server(self.folder, self.folder.sitting(**self.sitting_changes))
        self.browser = Browser()
        self.page = self.browser.driver

    def tearDown(self):
        result = self._outcome.result
        if any(test is self for test, _ in result.failures + result.errors):
            self.browser.screenshot("failed-" + self.id().split(".")[-1])
        self.browser.quit()
        self.server.stop()
        self.folder.remove()

    # Steps of the candidate's way, as a person takes them.
    def sign_in(self, user=USER, code=None, browser=None):
        browser = browser or self.browser
        browser.open(self.server.url + "/")
        browser.by_testid("user-id").send_keys(user)
        browser.by_testid("access-code").send_keys(
            harness.access_code(self.folder, user) if code is None else code)
        browser.by_testid("sign-in").click()

    def choose_method(self, method="倉頡"):
        self.browser.wait_path("/method.html")
        group = self.browser.by_testid("input-method")
        labels = wait_for(lambda: group.find_elements("css selector", "label"), message="methods")
        next(label for label in labels if label.text.strip() == method).click()
        self.page.find_element("id", "method-next").click()

    def start_part(self):
        self.browser.wait_path("/ready.html")
        self.browser.by_testid("start").click()
        self.browser.wait_path("/type.html")
        box = self.browser.by_testid("answer")
        wait_for(lambda: self.page.find_elements("css selector", "#reference li"), message="paper")
        box.click()
        return box

    def sign_in_proctor(self, browser=None):
        browser = browser or self.browser
        browser.open(self.server.url + "/proctor/")
        browser.by_testid("proctor-password").send_keys(harness.PASSWORD)
        browser.by_testid("proctor-sign-in").click()
        browser.wait_path("/proctor/board.html")

    def answer_value(self):
        return self.page.execute_script("return document.querySelector('[data-testid=answer]').value")

    def wait_saved(self, text):
        """Until the server holds exactly this draft of the seat's current part."""
        def saved():
            state = harness.seat_state(self.folder, "1")
            return any(p["text"] == text and p["submitted_ms"] == 0 and p["started_ms"]
                       for p in state["parts"])
        wait_for(saved, timeout=15, message="draft saved")


class CandidateSitsBothParts(ExamRoomTest):
    def test_types_both_parts_through_the_input_method_and_sees_the_scores_of_the_scorer(self):
        self.sign_in()
        self.choose_method("倉頡")
        parts = {1: harness.sample_lines("typed-test1.txt"), 2: harness.sample_lines("typed-test2.txt")}
        for part in (1, 2):
            self.start_part()
            self.browser.type_lines(parts[part])
            self.assertEqual(self.answer_value(), "".join(line + "\n" for line in parts[part]))
            if part == 1:
                self.browser.screenshot("candidate-typing")
            self.browser.by_testid("submit").click()
        self.browser.wait_path("/result.html")
        speed = self.browser.by_testid("speed")
        wait_for(lambda: speed.text != "", message="scores shown")
        self.browser.screenshot("candidate-result")

        # The answer files hold what was typed, and the page shows the scorer's numbers for them.
        seat_folder = os.path.join(self.folder.root, "scores", "3-1")
        for part in (1, 2):
            with open(os.path.join(seat_folder, f"CTEST-{part}"), "rb") as f:
                self.assertEqual(f.read(), harness.typed_answer_bytes(parts[part]))
            with open(os.path.join(seat_folder, f"CTEST-{part}.TOT"), encoding="utf-16") as f:
                total = f.read().splitlines()
            shown = self.page.find_element("css selector", f'[data-testid="speed"][data-part="{part}"]')
            self.assertEqual(shown.text, total[1])
            rate = self.page.find_element("css selector", f'[data-testid="error-rate"][data-part="{part}"]')
            self.assertEqual(rate.text, total[2] + "%")

    def test_autosave_never_disturbs_a_composition_in_progress(self):
        self.sign_in()
        self.choose_method("注音")
        self.start_part()
        self.browser.compose("ㄐㄧㄣˋ", "晉")
        self.browser.press_enter()
        self.wait_saved("晉\n")
        # Hold a composition open across an autosave: the box keeps it, the server never sees it.
        for i in range(1, 4):
            self.page.execute_cdp_cmd("Input.imeSetComposition",
                                      {"text": "ㄊㄞˋ"[:i], "selectionStart": i, "selectionEnd": i})
        saves_before = harness.seat_state(self.folder, "1")["parts"][0]["saved_ms"]
        time.sleep(6)  # longer than the page's autosave interval
        self.assertEqual(self.answer_value(), "晉\nㄊㄞˋ")
        self.assertEqual(harness.seat_state(self.folder, "1")["parts"][0]["text"], "晉\n")
        self.assertEqual(harness.seat_state(self.folder, "1")["parts"][0]["saved_ms"], saves_before)
        self.page.execute_cdp_cmd("Input.insertText", {"text": "太"})
        self.assertEqual(self.answer_value(), "晉\n太")
        self.assertEqual(self.page.find_element("id", "char-count").text, "已打 2 字")
        self.wait_saved("晉\n太")

    def test_paste_and_drop_are_refused(self):
        self.sign_in()
        self.choose_method()
        self.start_part()
        self.browser.compose("ㄐ", "晉")
        refused = self.page.execute_script("""
            const box = document.querySelector('[data-testid=answer]');
            const data = new DataTransfer();
            data.setData('text/plain', '武陵人捕魚為業');
            const paste = new ClipboardEvent('paste', {clipboardData: data, bubbles: true, cancelable: true});
            const drop = new DragEvent('drop', {dataTransfer: data, bubbles: true, cancelable: true});
            const typed = new InputEvent('beforeinput', {inputType: 'insertFromPaste', data: 'x', bubbles: true, cancelable: true});
            return [!box.dispatchEvent(paste), !box.dispatchEvent(drop), !box.dispatchEvent(typed)];""")
        self.assertEqual(refused, [True, True, True])
        self.assertEqual(self.answer_value(), "晉")
        self.assertIn("不能貼上", self.page.find_element("id", "save-status").text)


class TooFast(ExamRoomTest):
    """The "too fast" flag is for pasted text, never for an input method: single characters at a
    typist's pace, and phrases of four to six characters committed at once (新注音, 嘸蝦米)."""

    def flagged(self):
        return harness.seat_state(self.folder, "1")["parts"][0]["too_fast"]

    def test_an_input_method_at_a_typists_pace_is_never_flagged_and_a_burst_is(self):
        self.sign_in()
        self.choose_method()
        self.start_part()
        text = "晉太元中武陵人捕魚為業緣溪行忘路之遠近忽逢桃花林夾岸數百步中無雜樹芳草鮮美"
        chunks = list(text[:8]) + [text[8:13], text[13:19], text[19:23], text[23:29], text[29:34],
                                   text[34:]]
        typed = ""
        for chunk in chunks:
            self.browser.compose("ㄓㄨˋ", chunk)
            typed += chunk
            time.sleep(len(chunk) / 2.5)  # two and a half characters a second
        self.assertEqual(self.answer_value(), typed)
        self.wait_saved(typed)
        self.assertFalse(self.flagged())

        burst = "桃花源記" * 40
        self.page.execute_cdp_cmd("Input.insertText", {"text": burst})
        wait_for(self.flagged, timeout=15, message="a burst of 160 characters flagged")


class ReportPage(ExamRoomTest):
    ANSWERS = {1: "晉太元中，武陵人捕漁為業。\n緣溪行，忘路之遠近。\n",
               2: "水陸草木之花，可愛者甚甚蕃。\n晉陶淵明獨愛菊。\n"}

    def test_the_result_page_shows_each_parts_score_report(self):
        candidate = ApiClient(self.server).candidate(USER)
        candidate.json("POST", "/api/candidate/method", {"method": "倉頡"})
        for part in (1, 2):
            candidate.json("POST", "/api/candidate/start", {"part": part})
            candidate.json("POST", "/api/candidate/submit", {"part": part, "text": self.ANSWERS[part], "base": 0})
        candidate.json("POST", "/api/candidate/sign-out")  # the seat is free for the browser
        self.sign_in()
        self.browser.wait_path("/result.html")
        frames = wait_for(lambda: self.page.find_elements("css selector", "iframe.report"),
                          message="reports")
        self.assertEqual(len(frames), 2)
        self.browser.screenshot("candidate-result-with-report")
        for part, frame in zip((1, 2), frames):
            shown = self.page.find_element("css selector", f'[data-testid="speed"][data-part="{part}"]').text
            self.page.switch_to.frame(frame)
            # keyin-tool report's page of the part: its marks, and the speed the result page shows.
            marks = wait_for(lambda: self.page.find_elements("css selector", "[data-mark]"),
                             message=f"marks of part {part}")
            self.assertTrue(marks)
            speed = self.page.find_element("css selector", '[data-field="speed"]').text
            self.assertIn(shown, speed)
            self.page.switch_to.default_content()
        # A candidate who is not done sees no report, not even an own one.
        status, _ = ApiClient(self.server).candidate("S223456789").call("GET", "/api/candidate/report/1")
        self.assertEqual(status, 403)


class TimeRunsOut(ExamRoomTest):
    sitting_changes = {"TotTime": 4}

    def test_time_running_out_submits_the_part_with_what_was_typed(self):
        self.sign_in()
        self.choose_method()
        self.start_part()
        self.browser.compose("ㄐㄧㄣˋ", "晉太元中")
        # The page submits when its clock reaches zero and goes on to the next part (the time
        # used, capped at the deadline: typing_rules_test.cpp UseTimeSeconds).
        self.browser.wait_path("/ready.html", timeout=20)
        self.assertEqual(harness.seat_state(self.folder, "1")["parts"][0]["text"], "晉太元中")


class NothingLost(ExamRoomTest):
    def time_left(self):
        return self.page.execute_script(
            "return document.querySelector('[data-testid=time-left]').textContent")

    def seconds(self, text):
        minutes, seconds = text.split(":")
        return int(minutes) * 60 + int(seconds)

    def test_a_reload_keeps_the_text_and_the_time(self):
        self.sign_in()
        self.choose_method()
        self.start_part()
        self.browser.type_lines(["晉太元中，武陵人捕魚為業。"])
        self.browser.compose("ㄩㄢˊ", "緣溪")
        self.wait_saved("晉太元中，武陵人捕魚為業。\n緣溪")
        deadline = harness.seat_state(self.folder, "1")["parts"][0]["deadline_ms"]
        time.sleep(1.2)
        self.page.refresh()
        wait_for(lambda: self.answer_value() == "晉太元中，武陵人捕魚為業。\n緣溪", message="text back")
        left = wait_for(lambda: self.time_left() if self.time_left() != "--:--" else None)
        expected = (deadline / 1000) - time.time()
        self.assertLessEqual(abs(self.seconds(left) - expected), 2)
        self.assertLess(self.seconds(left), 600)  # the clock did not start again
        self.assertEqual(harness.seat_state(self.folder, "1")["parts"][0]["deadline_ms"], deadline)

    def test_a_server_restart_in_the_middle_resumes_the_seat(self):
        self.sign_in()
        self.choose_method()
        self.start_part()
        self.browser.type_lines(["晉太元中，武陵人捕魚為業。"])
        self.wait_saved("晉太元中，武陵人捕魚為業。\n")
        deadline = harness.seat_state(self.folder, "1")["parts"][0]["deadline_ms"]
        self.server.stop(crash=True)
        # Typing goes on while the server is away; the page keeps the text.
        self.browser.compose("ㄩㄢˊ", "緣溪行")
        self.server.restart_on_same_port()
        self.wait_saved("晉太元中，武陵人捕魚為業。\n緣溪行")
        self.page.refresh()
        wait_for(lambda: self.answer_value() == "晉太元中，武陵人捕魚為業。\n緣溪行", message="text back")
        self.assertEqual(harness.seat_state(self.folder, "1")["parts"][0]["deadline_ms"], deadline)
        self.browser.by_testid("submit").click()
        self.browser.wait_path("/ready.html")


class Proctor(ExamRoomTest):
    def seat_text(self, seat):
        """The card's text, read again when the board redrew it under the test."""
        return wait_for(lambda: self.seat_card(seat).text, message=f"seat {seat}")

    def seat_card(self, seat):
        return self.page.find_element("css selector", f'[data-seat="{seat}"]')

    def test_board_shows_every_seat_and_the_results_page_its_rows(self):
        # Seat 1 finishes part 1 and types part 2; seat 2 pastes far too fast; seat 3 stays away.
        first = ApiClient(self.server).candidate("S123456789")
        first.json("POST", "/api/candidate/method", {"method": "倉頡"})
        first.json("POST", "/api/candidate/start", {"part": 1})
        first.json("POST", "/api/candidate/submit", {"part": 1, "text": "晉太元中，武陵人捕魚為業。\n", "base": 0})
        first.json("POST", "/api/candidate/start", {"part": 2})
        first.json("PUT", "/api/candidate/draft", {"part": 2, "text": "嶺南道中", "base": 0})
        second = ApiClient(self.server).candidate("S223456789")
        second.json("POST", "/api/candidate/method", {"method": "注音"})
        second.json("POST", "/api/candidate/start", {"part": 1})
        status, _ = second.json("PUT", "/api/candidate/draft",
                                {"part": 1, "text": "晉太元中，武陵人捕魚為業。緣溪行，忘路之遠近。" * 10,
                                 "base": 0})
        self.assertEqual(status, 200)

        self.sign_in_proctor()
        wait_for(lambda: len(self.page.find_elements("css selector", "[data-seat]")) == 3)
        wait_for(lambda: self.seat_card("1").get_attribute("data-state") == "typing")
        self.assertIn("第 2 部分", self.seat_text("1"))
        self.assertIn("已打 4 字", self.seat_text("1"))
        self.assertEqual(wait_for(lambda: self.seat_card("2").get_attribute("data-too-fast")), "true")
        self.assertIn("速度異常", self.seat_text("2"))
        self.assertIn("未登入", self.seat_text("3"))
        self.browser.screenshot("proctor-board")

        # Add five minutes to seat 1, with the keyboard only.
        left_before = first.json("GET", "/api/candidate/state")[1]["time_left_ms"]
        select = self.browser.by_testid("add-time-seat")
        select.send_keys("1")
        minutes = self.browser.by_testid("add-time-minutes")
        minutes.clear()
        minutes.send_keys("5\n")
        # Not without a reason: it goes into the action log.
        wait_for(lambda: "原因" in self.page.find_element("id", "error-text").text, message="reason asked")
        self.browser.by_testid("add-time-reason").send_keys("電腦當機重開\n")
        wait_for(lambda: first.json("GET", "/api/candidate/state")[1]["time_left_ms"] > left_before + 290000,
                 message="time added")
        wait_for(lambda: "加時 5 分鐘：電腦當機重開" in self.seat_text("1"), message="act on the board")
        self.browser.screenshot("proctor-board-actions")

        # End the sitting: every open part is submitted from its last save.
        self.browser.by_testid("end-sitting").click()
        self.browser.by_testid("end-confirm").click()
        wait_for(lambda: "考試已結束" in self.page.find_element("id", "counts").text)
        wait_for(lambda: all(p["scoring"] in ("", "scored") for seat in ("1", "2")
                             for p in harness.seat_state(self.folder, seat)["parts"]),
                 message="all parts scored")
        self.assertEqual(harness.seat_state(self.folder, "1")["parts"][1]["text"], "嶺南道中")

        # The export beside the stored rows: room_test.cpp (EveryActIsLogged...) and
        # results_query_test.cpp; here the page that shows them.
        self.browser.open(self.server.url + "/proctor/results.html")
        wait_for(lambda: len(self.page.find_elements("css selector", "#stored-rows tbody tr")) == 2)
        self.browser.screenshot("proctor-results")


    def test_a_new_sitting_from_the_form_with_a_roster_in_code_page_950(self):
        self.sign_in_proctor()
        self.browser.by_testid("end-sitting").click()
        self.browser.by_testid("end-confirm").click()
        wait_for(lambda: "考試已結束" in self.page.find_element("id", "counts").text)
        roster = os.path.join(self.folder.root, "roster-big5.csv")
        with open(roster, "wb") as f:
            f.write("UserID,StuName,ClassName,SeatNo\r\nT001,張三,丙班,21\r\nT002,李四,丙班,22\r\n"
                    .encode("cp950"))
        self.browser.open(self.server.url + "/proctor/new.html")
        session = self.page.find_element("id", "SessionNo")
        wait_for(lambda: session.get_attribute("value") == "3", message="form filled from the sitting")
        session.clear()
        session.send_keys("4")
        self.page.find_element("id", "roster").send_keys(roster)
        self.browser.by_testid("create-sitting").click()
        self.browser.wait_path("/proctor/board.html")
        wait_for(lambda: len(self.page.find_elements("css selector", "[data-seat]")) == 2)
        self.assertIn("張三", self.seat_text("21"))
        self.assertIn("場次 4", self.page.find_element("id", "board-title").text)
        # The form kept the room: the ended sitting's files are kept aside in it.
        self.assertTrue(any(name.startswith("ended-") for name in os.listdir(harness.room_folder(self.folder))))


class WhoMayDoWhat(ExamRoomTest):
    def test_an_impostor_gets_nothing_and_a_second_browser_waits_for_the_proctor(self):
        self.sign_in()
        self.choose_method()
        self.start_part()
        self.browser.type_lines(["晉太元中，武陵人捕魚為業。"])
        self.wait_saved("晉太元中，武陵人捕魚為業。\n")

        other = Browser()
        board = Browser()
        try:
            # A classmate with the UserID but a wrong code: the page says so (what the server
            # refuses: room_test.cpp).
            self.sign_in(code="WRONG1", browser=other)
            wait_for(lambda: "考生編號或登入碼不對" in other.driver.find_element("id", "error-text").text,
                     message="refusal shown")
            self.assertTrue(other.by_testid("sign-in").is_displayed())

            # The right code on a second computer: it waits, and the proctor sees why.
            self.sign_in(browser=other)
            other.wait_path("/wait.html")
            wait_for(lambda: "另一台電腦" in other.by_testid("wait-reason").text, message="why it waits")
            other.screenshot("candidate-waits-for-move")
            self.sign_in_proctor(board)
            board.by_testid("add-time-reason").send_keys("電腦當機")
            board.by_testid("approve-move-1")
            wait_for(lambda: "另一台電腦要求接手" in board.driver.find_element(
                "css selector", '[data-seat="1"]').text, message="the request on the board")
            board.screenshot("proctor-board-move-request")
            board.click("approve-move-1")

            # The draft and the time move; the first computer says why it stopped.
            other.wait_path("/type.html")
            wait_for(lambda: other.driver.execute_script(
                "return document.querySelector('[data-testid=answer]').value")
                == "晉太元中，武陵人捕魚為業。\n", message="draft moved")
            # The first computer learns it at its next save, five seconds at most.
            status = self.page.find_element("id", "save-status")
            wait_for(lambda: "另一台電腦" in status.text, timeout=15, message="old browser told")
            self.assertEqual(self.answer_value(), "晉太元中，武陵人捕魚為業。\n")
            self.assertEqual(self.page.execute_script(
                "return document.querySelector('[data-testid=answer]').readOnly"), True)
            self.browser.screenshot("candidate-moved-away")
        finally:
            other.quit()
            board.quit()

    def test_admission_slips_print_one_slip_per_candidate(self):
        status, slips = ApiClient(self.server).proctor().json("GET", "/api/slips")
        self.assertEqual(status, 200)
        self.sign_in_proctor()
        self.browser.open(self.server.url + "/proctor/slips.html")
        wait_for(lambda: len(self.page.find_elements("css selector", ".slip")) == 3, message="slips")
        wait_for(lambda: self.page.execute_script(
            "return [...document.querySelectorAll('.slip img.qr')].filter(i => i.naturalWidth > 0).length")
            == 3, message="a QR code of the address on every slip")
        self.browser.screenshot("proctor-slips")
        pdf = os.path.join(harness.SCREENSHOTS, "proctor-slips.pdf")  # kept to be looked at
        with open(pdf, "wb") as f:
            f.write(base64.b64decode(self.page.print_page(PrintOptions())))
        text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True,
                              check=True).stdout
        text = re.sub(r"\s+", "", text)  # the code's letters are spaced apart on paper
        for slip in slips["slips"]:
            self.assertEqual(text.count(slip["UserID"]), 1, slip["UserID"])
            self.assertEqual(text.count(slip["AccessCode"]), 1, slip["AccessCode"])
        self.assertEqual(text.count("登入碼只給你自己用"), 3)
        self.assertNotIn("列印", text, "the page's controls are not printed")


class Admission(ExamRoomTest):
    sitting_changes = {"SignIn": "proctor"}

    def test_a_candidate_waits_until_the_proctor_admits_the_seat(self):
        self.sign_in(code="")
        self.browser.wait_path("/wait.html")
        wait_for(lambda: "核對你的身分" in self.browser.by_testid("wait-reason").text, message="why")
        board = Browser()
        try:
            self.sign_in_proctor(board)
            wait_for(lambda: "等候入場" in board.driver.find_element("css selector", '[data-seat="1"]').text,
                     message="seat waits on the board")
            board.click("admit-1")
            self.choose_method()  # the waiting page goes on by itself
            wait_for(lambda: "准許入場" in board.driver.find_element("css selector", '[data-seat="1"]').text,
                     message="the act on the seat's card")
        finally:
            board.quit()

class Rooms(unittest.TestCase):
    """Two rooms on one server: room A holds the mock test for 甲班, room B the same paper for
    乙班 under its own proctor; 王小明 sits in both and chooses."""

    def setUp(self):
        self.folder = ProgramFolder()
        both = "UserID,StuName,ClassName,SeatNo,AccessCode\n"
        roster_a = self.folder.write("roster-a.csv", both + "S123456789,王小明,甲班,1,KEY4321\n"
                                     "S223456789,林美華,甲班,2,AAAA2222\n")
        roster_b = self.folder.write("roster-b.csv", both + "S123456789,王小明,甲班,1,KEY4321\n"
                                     "S323456789,陳大同,乙班,2,BBBB3333\n")
        for account in ("wang", "lee"):
            subprocess.run([os.path.join(harness.BIN, "keyin-tool"), "accounts", "add", account,
                            "--role", "proctor"], env=self.folder.env, check=True,
                           input=b"password-" + account.encode() + b"\n", capture_output=True)
        self.server = Server(
            self.folder, self.folder.sitting(Room="A", Proctors=["wang"]), roster_a,
            more_rooms=[(self.folder.sitting("sitting-b.json", Room="B", SessionNo="4",
                                             Proctors=["lee"]), roster_b)])
        self.browser = Browser()
        self.page = self.browser.driver

    def tearDown(self):
        self.browser.quit()
        self.server.stop()
        self.folder.remove()

    def sign_in(self, user, code):
        self.browser.open(self.server.url + "/")
        self.browser.by_testid("user-id").send_keys(user)
        self.browser.by_testid("access-code").send_keys(code)
        self.browser.by_testid("sign-in").click()

    def sign_in_staff(self, account, password):
        self.browser.open(self.server.url + "/proctor/")
        if account:
            self.browser.by_testid("proctor-account").send_keys(account)
        self.browser.by_testid("proctor-password").send_keys(password)
        self.browser.by_testid("proctor-sign-in").click()

    def test_candidates_find_their_room_and_each_proctor_sees_only_theirs(self):
        # Candidates of both rooms at once, each through the one address.
        other = ApiClient(self.server)
        status, state = other.json("POST", "/api/candidate/sign-in",
                                   {"UserID": "S323456789", "AccessCode": "BBBB3333"})
        self.assertEqual((status, state["SeatNo"]), (200, "2"))
        other.json("POST", "/api/candidate/method", {"method": "注音"})
        other.json("POST", "/api/candidate/start", {"part": 1})
        other.json("PUT", "/api/candidate/draft", {"part": 1, "text": "嶺南道中", "base": 0})

        # 王小明 is on both rosters: the page asks which room.
        self.sign_in("S123456789", "key4321")
        choice = self.browser.by_testid("room-choice")
        wait_for(lambda: choice.is_displayed(), message="the choice of room")
        self.assertIn("考場 A", choice.text)
        self.assertIn("考場 B", choice.text)
        self.browser.screenshot("candidate-chooses-room")
        self.browser.by_testid("room-A").click()
        self.browser.by_testid("sign-in").click()
        self.browser.wait_path("/method.html")
        self.assertNotEqual(harness.seat_state(self.folder, "1")["token_hash"], "")  # room A's seat

        # wang runs room A only: straight to its board, room B's seat 2 is not there.
        self.sign_in_staff("wang", "password-wang")
        self.browser.wait_path("/proctor/board.html")
        wait_for(lambda: len(self.page.find_elements("css selector", "[data-seat]")) == 2,
                 message="room A's seats")
        board = self.page.find_element("id", "seats").text
        self.assertIn("林美華", board)
        self.assertNotIn("陳大同", board)
        self.browser.open(self.server.url + "/proctor/board.html?room=B")
        wait_for(lambda: "不是你監考的考場" in self.page.find_element("id", "errors").text,
                 message="room B refused to wang")

        # The administrator sees both rooms, with room B's typing seat on its board.
        self.page.delete_all_cookies()
        self.sign_in_staff("", harness.PASSWORD)
        self.browser.wait_path("/proctor/rooms.html")
        rooms = wait_for(lambda: self.page.find_elements("css selector", "#rooms tbody tr"),
                         message="the rooms")
        self.assertEqual([row.text.split()[0] for row in rooms], ["A", "B"])
        self.browser.screenshot("proctor-rooms")
        self.browser.click("room-board-B")
        self.browser.wait_path("/proctor/board.html")
        wait_for(lambda: any("作答第 1 部分" in card.text
                             for card in self.page.find_elements("css selector", '[data-seat="2"]')),
                 message="room B's typing seat")
        self.assertIn("考場 B", self.page.find_element("css selector", "header.site").text)
        self.browser.screenshot("proctor-board-room-b")

    def test_a_teacher_reads_a_class_over_two_sittings_and_a_candidates_history(self):
        # 王小明 sits in both rooms, 林美華 in A, 陳大同 (乙班) in B; each types part 1.
        for user, code, room, text in (("S123456789", "KEY4321", "A", "晉太元中，武陵人捕魚為業。\n"),
                                       ("S123456789", "KEY4321", "B", "晉太元中，武陵人捕魚為業。緣溪行，忘路之遠近。\n"),
                                       ("S223456789", "AAAA2222", "A", "晉太元中\n"),
                                       ("S323456789", "BBBB3333", "B", "晉太元中，武陵人\n")):
            candidate = ApiClient(self.server)
            status, _ = candidate.json("POST", "/api/candidate/sign-in",
                                       {"UserID": user, "AccessCode": code, "Room": room})
            self.assertEqual(status, 200)
            candidate.json("POST", "/api/candidate/method", {"method": "倉頡"})
            candidate.json("POST", "/api/candidate/start", {"part": 1})
            status, _ = candidate.json("POST", "/api/candidate/submit", {"part": 1, "text": text, "base": 0})
            self.assertEqual(status, 200)
        subprocess.run([os.path.join(harness.BIN, "keyin-tool"), "accounts", "add", "tea", "--role",
                        "teacher"], env=self.folder.env, check=True, input=b"password-tea\n",
                       capture_output=True)
        teacher = ApiClient(self.server)
        teacher.json("POST", "/api/proctor/sign-in", {"account": "tea", "password": "password-tea"})
        wait_for(lambda: teacher.json("GET", "/api/history")[1].get("count") == 4, timeout=30,
                 message="four parts scored")

        self.sign_in_staff("tea", "password-tea")
        self.browser.wait_path("/proctor/history.html")
        self.browser.by_testid("history-class").send_keys("甲班")
        self.browser.click("history-search")
        wait_for(lambda: "3 筆" in self.page.find_element("id", "history-count").text,
                 message="甲班's three results over two sittings")
        table = self.browser.by_testid("history-rows").text
        self.assertIn("林美華", table)
        self.assertNotIn("陳大同", table)
        self.assertIn("甲班", table)  # the class of mock-test rows, from the rosters
        self.browser.screenshot("teacher-history")
        self.browser.click("history-of-S123456789")
        history = self.browser.by_testid("candidate-history")
        wait_for(lambda: history.is_displayed() and "王小明" in history.text, message="the history")
        self.assertEqual(len(self.page.find_elements("css selector", "#candidate-rows tbody tr")), 2)
        self.assertEqual(len(self.page.find_elements("css selector", "#candidate-chart circle")), 2)
        self.browser.screenshot("teacher-candidate-history")
        # The class report opens as its own page, of the same selection.
        href = self.browser.by_testid("class-report").get_attribute("href")
        self.browser.open(href)
        wait_for(lambda: "王小明" in self.page.find_element("css selector", "body").text,
                 message="the class report")
        self.assertNotIn("陳大同", self.page.find_element("css selector", "body").text)
        self.browser.screenshot("teacher-class-report")

        # Once both sittings end, the administrator corrects P001 and re-scores its four parts.
        administrator = ApiClient(self.server).proctor()
        for room in ("A", "B"):
            self.assertEqual(administrator.json("POST", f"/api/rooms/{room}/sitting/end", {})[0], 200)
        lines = ["晉太元中，武陵人捕魚為業", "緣溪行，忘路之遠近。"]
        status, _ = administrator.json("POST", "/api/papers", {
            "ExamPaperNo": "P001", "part1": "\n".join(lines), "part2": "\n".join(lines), "replace": True})
        self.assertEqual(status, 200)
        self.page.delete_all_cookies()
        self.sign_in_staff("", harness.PASSWORD)
        self.browser.wait_path("/proctor/rooms.html")
        self.browser.open(self.server.url + "/proctor/papers.html")
        self.browser.click("rescore-P001")
        status = self.browser.by_testid("rescore-status")
        wait_for(lambda: "試算結果" in status.text, timeout=60, message="the dry run's table")
        self.assertEqual(len(self.page.find_elements("css selector", "#rescore-runs tbody tr")), 4)
        self.assertIn("→", self.browser.by_testid("rescore-runs").text)
        self.browser.screenshot("admin-rescore-dry-run")
        self.browser.click("rescore-confirm")
        wait_for(lambda: "已重新評分" in status.text, timeout=60, message="re-scored")
        self.browser.screenshot("admin-rescore-done")


class Console(ExamRoomTest):
    """The administrator makes a paper from pasted text and opens a second room with it."""

    def test_a_paper_from_pasted_text_and_a_room_from_a_checked_roster(self):
        self.browser.open(self.server.url + "/proctor/")
        self.browser.by_testid("proctor-password").send_keys(harness.PASSWORD)
        self.browser.by_testid("proctor-sign-in").click()
        self.browser.wait_path("/proctor/board.html")

        self.browser.open(self.server.url + "/proctor/papers.html")
        self.browser.by_testid("paper-no").send_keys("P009")
        for part, name in (("part1", "paper-test1.txt"), ("part2", "paper-test2.txt")):
            text = "\n".join(harness.sample_lines(name)) + "\n"
            self.page.execute_script("arguments[0].value = arguments[1];", self.browser.by_testid(part), text)
        self.browser.click("paper-preview")
        shown = self.browser.by_testid("paper-shown")
        wait_for(lambda: shown.is_displayed(), message="the preview")
        self.assertEqual(len(self.page.find_elements("css selector", "#preview-part1 li")),
                         len(harness.sample_lines("paper-test1.txt")))
        self.assertFalse(os.path.exists(os.path.join(self.folder.root, "lib", "P009.LIB")))
        self.browser.screenshot("admin-paper-preview")
        self.browser.click("paper-create")
        wait_for(lambda: "已建立試卷 P009" in self.browser.by_testid("paper-done").text, message="made")
        made = os.path.join(self.folder.root, "made.LIB")
        self.folder.tool("make-lib", "--part1", os.path.join(harness.SOURCE, "samples", "paper-test1.txt"),
                         "--part2", os.path.join(harness.SOURCE, "samples", "paper-test2.txt"), made)
        with open(made, "rb") as expected, open(os.path.join(self.folder.root, "lib", "P009.LIB"), "rb") as actual:
            self.assertEqual(actual.read(), expected.read())

        # A roster with a bad row is refused by row and column as soon as it is chosen.
        self.browser.open(self.server.url + "/proctor/new.html")
        bad = self.folder.write("bad.csv", "UserID,StuName,ClassName,SeatNo\nT001,張三,丙班,21\nT002,李四,丙班,\n")
        self.browser.by_testid("roster-file").send_keys(bad)
        wait_for(lambda: "名單第 3 列" in self.page.find_element("id", "roster-error").text,
                 message="the bad row named")
        self.assertIn("SeatNo", self.page.find_element("id", "roster-error").text)
        self.browser.screenshot("admin-roster-refused")
        self.assertFalse(os.path.exists(os.path.join(self.folder.root, "exam-room", "rooms", "B2")))

        good = self.folder.write("good.csv", "UserID,StuName,ClassName,SeatNo\nT001,張三,丙班,21\nT002,李四,丁班,22\n")
        self.page.find_element("id", "roster").clear()
        self.browser.by_testid("roster-file").send_keys(good)
        wait_for(lambda: "共 2 位" in self.browser.by_testid("roster-summary").text, message="checked")
        session = self.page.find_element("id", "SessionNo")
        wait_for(lambda: session.get_attribute("value") == "3", message="form filled from the sitting")
        session.clear()
        session.send_keys("5")
        paper = self.page.find_element("id", "ExamPaperNo")
        paper.clear()
        paper.send_keys("P009")
        room = self.browser.by_testid("room-name")
        room.clear()
        room.send_keys("B2")
        in_an_hour = (datetime.datetime.now() + datetime.timedelta(hours=1)).strftime("%Y-%m-%dT%H:%M")
        self.page.execute_script("arguments[0].value = arguments[1];", self.browser.by_testid("opens-at"), in_an_hour)
        self.browser.click("create-sitting")
        wait_for(lambda: "room=B2" in self.page.current_url, message="room B2's board")
        wait_for(lambda: len(self.page.find_elements("css selector", "[data-seat]")) == 2, message="seats")

        # Scheduled an hour ahead: the candidate gets ready and waits; the proctor starts it early.
        wait_for(lambda: self.browser.by_testid("opens-box").is_displayed(), message="the start time")
        self.browser.screenshot("proctor-board-scheduled")
        with open(os.path.join(self.folder.root, "exam-room", "rooms", "B2", "sitting.json"), encoding="utf-8") as f:
            code = next(c["AccessCode"] for c in json.load(f)["roster"] if c["UserID"] == "T001")
        candidate = Browser()
        try:
            self.sign_in("T001", code, browser=candidate)
            candidate.wait_path("/method.html")
            group = candidate.by_testid("input-method")
            labels = wait_for(lambda: group.find_elements("css selector", "label"), message="methods")
            next(label for label in labels if label.text.strip() == "注音").click()
            candidate.driver.find_element("id", "method-next").click()
            candidate.wait_path("/ready.html")
            wait_for(lambda: "還有" in candidate.by_testid("opens").text, message="the wait shown")
            self.assertFalse(candidate.by_testid("start").is_enabled())
            candidate.screenshot("candidate-waits-for-the-start")
            self.browser.click("open-now")
            wait_for(lambda: candidate.by_testid("start").is_enabled(), timeout=15, message="may start")
            candidate.click("start")
            candidate.wait_path("/type.html")
        finally:
            candidate.quit()
        self.browser.open(self.server.url + "/proctor/rooms.html")
        rooms = wait_for(lambda: self.page.find_elements("css selector", "#rooms tbody tr"), message="rooms")
        self.assertEqual([row.text.split()[0] for row in rooms], ["3", "B2"])

        # Accounts: a teacher added, given a new password, removed with a second click.
        self.browser.open(self.server.url + "/proctor/accounts.html")
        self.browser.by_testid("account-name").send_keys("tea")
        self.page.find_element("css selector", "input[name=role][value=teacher]").click()
        self.browser.by_testid("account-password").send_keys("password-tea")
        self.browser.click("account-add")
        wait_for(lambda: "老師" in self.browser.by_testid("accounts").text, message="the teacher listed")
        teacher = ApiClient(self.server)
        self.assertEqual(teacher.json("POST", "/api/proctor/sign-in", {"account": "tea", "password": "password-tea"})[0], 200)
        self.page.execute_script("window.scrollTo(0, 0)")
        self.browser.screenshot("admin-accounts")
        self.browser.click("password-tea")
        self.browser.by_testid("new-password").send_keys("another-password")
        self.browser.click("password-change")
        wait_for(lambda: "已更改 tea" in self.browser.by_testid("account-done").text, message="changed")
        self.assertEqual(teacher.json("GET", "/api/history")[0], 401)
        self.browser.click("remove-tea")
        self.browser.click("remove-tea")
        wait_for(lambda: "tea" not in self.browser.by_testid("accounts").text, message="removed")

class Practice(ExamRoomTest):
    sitting_changes = {"TestType": "1"}

    def reference_lines(self):
        return [li.text for li in self.page.find_elements("css selector", "#reference li")]

    def submit_and_wait_for_report(self):
        self.browser.by_testid("submit").click()
        self.browser.wait_path("/result.html")
        return wait_for(lambda: self.page.find_elements("css selector", "iframe.report"),
                        timeout=30, message="the report")[0]

    def test_a_student_practises_sees_the_codes_then_drills_what_they_missed(self):
        self.sign_in()
        self.choose_method("倉頡")
        self.start_part()
        first, second = self.reference_lines()[:2]
        # The third character of the first line missed, the second of the second typed wrong.
        self.browser.type_lines([first[:2] + first[3:], second[0] + "甲" + second[2:]])
        frame = self.submit_and_wait_for_report()
        self.page.switch_to.frame(frame)
        missed = wait_for(lambda: self.page.find_elements("css selector", '[data-mark="missing"]'),
                          message="the missed mark")[0]
        self.assertEqual(missed.get_attribute("data-expected"), first[2])
        self.assertTrue(missed.get_attribute("data-code"), "a practice's report teaches the code")
        self.page.execute_script("arguments[0].scrollIntoView({block: 'center'})", missed)
        self.page.switch_to.default_content()
        self.browser.screenshot("practice-report-with-codes")

        # The drill: lines of the paper holding what was missed, the most missed first.
        self.browser.click("start-drill")
        self.choose_method("倉頡")
        self.start_part()
        drill = self.reference_lines()
        self.assertTrue(drill)
        self.assertIn(first[2], drill[0] + (drill[1] if len(drill) > 1 else ""))
        self.assertTrue(all(first[2] in line or second[1] in line for line in drill))
        self.browser.screenshot("practice-drill-typing")
        self.browser.type_lines(drill[:1])
        self.submit_and_wait_for_report()

        # The teacher sees both practices and the drill left, with codes.
        teacher = ApiClient(self.server).proctor()
        wait_for(lambda: teacher.json("GET", f"/api/history?kind=practice&user={USER}")[1].get("count") == 2,
                 timeout=30, message="the practice and the drill in the history")
        self.page.delete_all_cookies()
        self.browser.open(self.server.url + "/proctor/")
        self.browser.by_testid("proctor-password").send_keys(harness.PASSWORD)
        self.browser.by_testid("proctor-sign-in").click()
        self.browser.wait_path("/proctor/rooms.html")  # two rooms now: the practice and the drill
        self.browser.open(self.server.url + "/proctor/history.html")
        self.browser.click("history-search")
        self.browser.click("history-of-" + USER)
        self.page.find_element("css selector", '[data-testid="drill-method"] option[value="倉頡"]').click()
        self.browser.click("drill-show")
        chips = self.browser.by_testid("drill-characters")
        wait_for(lambda: second[1] in chips.text, timeout=30, message="the drill's characters")
        self.assertIn(second[1], chips.text)
        self.browser.screenshot("teacher-candidate-drill")


if __name__ == "__main__":
    unittest.main()
