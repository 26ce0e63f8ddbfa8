'use strict';
// The candidate's pages: sign-in, input method, instructions, typing, result. Each page asks the
// server where the candidate stands and goes to the page of that stage, so a reload, a second
// tab or a restarted server always lands on the right page with the right time.
//
// The answer box belongs to the input method while it composes: nothing here writes into it
// after the saved text is put back on load, saving reads it only, and characters are counted
// only once a composition has ended.

(function () {
  const pageOfStage = { wait: '/wait.html', method: '/method.html', ready: '/ready.html', typing: '/type.html', done: '/result.html' };
  const page = document.body.dataset.page;

  function go(state) {
    const target = pageOfStage[state.stage];
    if (target && location.pathname !== target) {
      location.replace(target);
      return true;
    }
    return false;
  }

  function showWho(state) {
    const who = keyin.byId('who');
    if (who) who.textContent = '座號 ' + state.SeatNo + '　' + state.StuName + '（' + state.UserID + '）';
  }

  // A session the proctor moved to another computer: the sign-in page says why it stopped.
  function stopped(failure) {
    if (failure.code === 'moved') sessionStorage.setItem('keyin-stopped', failure.message);
  }

  // The current state, or a trip to the sign-in page when there is no session.
  async function loadState() {
    try {
      return await keyin.api('GET', '/api/candidate/state');
    } catch (failure) {
      if (failure.status === 401 || failure.status === 409) {
        stopped(failure);
        location.replace('/index.html');
        return null;
      }
      throw failure;
    }
  }

  async function signInPage() {
    const form = keyin.byId('sign-in-form');
    const input = keyin.byId('user-id');
    const code = keyin.byId('access-code');
    const why = sessionStorage.getItem('keyin-stopped');
    if (why) {
      sessionStorage.removeItem('keyin-stopped');
      keyin.byId('stopped').textContent = why;
      keyin.byId('stopped').classList.remove('hidden');
    }
    // Already signed in (a reload): straight to where the candidate stands.
    keyin.api('GET', '/api/candidate/state').then(go, () => {});
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const userId = input.value.trim();
      if (userId === '') {
        keyin.showError('請輸入考生編號', 'user-id');
        input.focus();
        return;
      }
      const body = { UserID: userId, AccessCode: code.value.trim() };
      const chosen = document.querySelector('input[name=Room]:checked');
      if (chosen) body.Room = chosen.value;
      try {
        go(await keyin.api('POST', '/api/candidate/sign-in', body));
      } catch (failure) {
        if (failure.code === 'choose-room') {
          // Signed up in two rooms at once: the candidate says which, then signs in again.
          const options = failure.answer.rooms.map((room, index) => {
            const label = keyin.element('label');
            label.append(keyin.element('input', null, { type: 'radio', name: 'Room', value: room.Room, 'data-testid': 'room-' + room.Room, ...(index === 0 ? { checked: '' } : {}) }),
              room.drill ? '我的弱字練習（' + room.ExamPaperNo + '）' : '考場 ' + room.Room + '：' + room.kind_label + '，試卷 ' + room.ExamPaperNo);
            return label;
          });
          keyin.byId('room-options').replaceChildren(...options);
          keyin.byId('room-choice').classList.remove('hidden');
          return;
        }
        keyin.showError(failure.message, 'user-id');
      }
    });
  }

  // Waits for the proctor (admission, or another computer holding the seat), asking again
  // every two seconds; goes on by itself once the proctor has decided.
  async function waitPage() {
    let state;
    try {
      state = await loadState();
    } catch (failure) {
      keyin.showError(failure.message);
      setTimeout(waitPage, 2000);
      return;
    }
    if (!state || go(state)) return;
    keyin.clearError();
    showWho(state);
    keyin.byId('wait-reason').textContent = state.waits_for === 'move'
      ? '這個座位已在另一台電腦登入。請舉手告訴監考老師；老師同意後，你的答案和剩餘時間會轉到這台電腦。'
      : '請舉手或等候監考老師核對你的身分，老師准許入場後就可以開始。';
    setTimeout(waitPage, 2000);
  }

  async function methodPage() {
    const state = await loadState();
    if (!state || go(state)) return;
    showWho(state);
    const list = keyin.byId('methods');
    state.methods.forEach((name, index) => {
      const label = keyin.element('label');
      const radio = keyin.element('input', null, { type: 'radio', name: 'method', value: name, id: 'method-' + index });
      if (name === state.method) radio.checked = true;
      label.append(radio, document.createTextNode(name));
      list.append(label);
    });
    keyin.byId('method-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const chosen = document.querySelector('input[name=method]:checked');
      if (!chosen) {
        keyin.showError('請選擇一種輸入法');
        return;
      }
      try {
        go(await keyin.api('POST', '/api/candidate/method', { method: chosen.value }));
      } catch (failure) {
        keyin.showError(failure.message);
      }
    });
  }

  async function readyPage() {
    const state = await loadState();
    if (!state || go(state)) return;
    showWho(state);
    keyin.byId('ready-title').textContent =
      state.parts > 1 ? '第 ' + state.part + ' 部分（共 ' + state.parts + ' 部分）' : '測驗說明';
    keyin.byId('ready-time').textContent = keyin.describeSeconds(state.allowed_seconds);
    keyin.byId('ready-method').textContent = state.method;
    keyin.byId('ready-method-again').textContent = state.method;
    const start = keyin.byId('start');
    start.focus();
    // A scheduled sitting: the start waits for its time, or for the proctor to open it early.
    const notice = keyin.byId('opens');
    let opensAt = state.opens_in_ms ? Date.now() + state.opens_in_ms : 0;
    const showOpens = () => {
      const left = opensAt - Date.now();
      start.disabled = left > 0;
      notice.classList.toggle('hidden', left <= 0);
      if (left > 0) {
        notice.textContent = '考試在 ' + (left > 12 * 3600 * 1000 ? state.opens_at : state.opens_at.slice(11)) + ' 開始，還有 ' +
          keyin.describeSeconds(Math.ceil(left / 1000)) + '。時間到了才能按「開始」。';
      }
      return left > 0;
    };
    if (showOpens()) {
      let asked = Date.now();
      const timer = setInterval(async () => {
        if (Date.now() - asked >= 5000) {
          asked = Date.now();
          try {
            const now = await keyin.api('GET', '/api/candidate/state');
            opensAt = now.opens_in_ms ? Date.now() + now.opens_in_ms : 0;
          } catch (failure) {
            // The count goes on; the next asking may reach the server.
          }
        }
        if (!showOpens()) {
          clearInterval(timer);
          start.focus();
        }
      }, 1000);
    }
    start.addEventListener('click', async () => {
      start.disabled = true;
      keyin.clearError();
      try {
        go(await keyin.api('POST', '/api/candidate/start', { part: state.part }));
      } catch (failure) {
        start.disabled = false;
        keyin.showError(failure.message);
      }
    });
  }

  async function typingPage() {
    const state = await loadState();
    if (!state || go(state)) return;
    showWho(state);
    const part = state.part;
    const box = keyin.byId('answer');
    const status = keyin.byId('save-status');
    const counter = keyin.byId('char-count');
    const timer = keyin.byId('time-left');
    const submit = keyin.byId('submit');
    keyin.byId('typing-title').textContent =
      state.parts > 1 ? '第 ' + part + ' 部分（共 ' + state.parts + ' 部分）' : '作答中';

    const reference = keyin.byId('reference');
    const lines = state.reference.map((line) => keyin.element('li', line));
    reference.append(...lines);

    // The one write into the box: the last saved text, before the candidate types.
    box.value = state.text;
    box.focus();
    box.setSelectionRange(box.value.length, box.value.length);

    let composing = false;
    let committed = box.value;      // the box's text when no composition was open
    let saving = null;              // the save in flight
    let finished = false;
    let deadline = performance.now() + state.time_left_ms;
    // Every save names this page and its count, and the version of the saved text it builds on:
    // the server keeps the newest text of this page and refuses a page that fell behind another.
    const page = keyin.randomId();
    let seq = 0;
    let version = state.version;

    const countOf = (text) => Array.from(text.replace(/[\r\n]/g, '')).length;
    const showCount = () => { counter.textContent = '已打 ' + countOf(committed) + ' 字'; };
    showCount();

    // The reference line the caret is on, marked and kept in view (reads the box only).
    let currentLine = -1;
    function followCaret() {
      const index = box.value.slice(0, box.selectionStart).split('\n').length - 1;
      if (index === currentLine || index >= lines.length) return;
      if (lines[currentLine]) lines[currentLine].classList.remove('current');
      currentLine = index;
      lines[index].classList.add('current');
      lines[index].scrollIntoView({ block: 'nearest' });
    }
    followCaret();

    function setStatus(text, warning) {
      status.textContent = text;
      status.classList.toggle('warning', Boolean(warning));
    }

    // The text to save: never a half-composed syllable.
    const textToSave = () => (composing ? committed : box.value);
    const saveBody = (text) => ({ part, text, base: version, window: page, seq: ++seq });

    async function leave() {
      const next = await loadState();
      if (next) go(next);
    }

    // Another window saved this part: this one stops and says where to go on.
    function yieldToOtherWindow(message) {
      finished = true;
      box.readOnly = true;
      submit.disabled = true;
      setStatus(message, true);
    }

    async function save() {
      if (finished) return;
      if (saving) return saving;
      const text = textToSave();
      saving = (async () => {
        try {
          const answer = await keyin.api('PUT', '/api/candidate/draft', saveBody(text));
          if (answer.ignored) return;
          version = answer.version;
          deadline = performance.now() + answer.time_left_ms;
          const time = new Date().toLocaleTimeString('zh-TW', { hour12: false });
          setStatus('已儲存（' + time + '）');
        } catch (failure) {
          if (failure.code === 'other-window') {
            yieldToOtherWindow(failure.message);
          } else if (failure.status === 409) {
            finished = true;
            setStatus(failure.message, true);
            await leave();
          } else if (failure.status === 401) {
            finished = true;
            box.readOnly = true;
            submit.disabled = true;
            setStatus(failure.code === 'moved' ? failure.message : '你已登出，這個視窗不再儲存。', true);
          } else {
            // Not saved (no connection, or the server could not write it): the text stays in
            // the box and the next save, five seconds on, tries again.
            setStatus(failure.message, true);
          }
        } finally {
          saving = null;
        }
      })();
      return saving;
    }

    async function finish() {
      if (finished) return;
      finished = true;
      submit.disabled = true;
      box.readOnly = true;
      const text = textToSave();
      setStatus('交卷中…');
      if (saving) await saving;
      // A lost connection or a server that cannot write yet is tried again until the server
      // takes the part (it also submits it on its own at the deadline from the last save).
      for (;;) {
        try {
          await keyin.api('POST', '/api/candidate/submit', saveBody(text));
          break;
        } catch (failure) {
          if (failure.code === 'other-window') {
            yieldToOtherWindow(failure.message);
            return;
          }
          if (failure.status !== 0 && failure.status !== 503) break;
          setStatus(failure.message, true);
          await new Promise((resolve) => setTimeout(resolve, 2000));
        }
      }
      await leave();
    }

    box.addEventListener('compositionstart', () => {
      composing = true;
      committed = box.value;
    });
    box.addEventListener('compositionend', () => {
      composing = false;
      // The committed characters are in the box once the event is over.
      setTimeout(() => {
        if (composing) return;
        committed = box.value;
        showCount();
        followCaret();
      }, 0);
    });
    box.addEventListener('input', (event) => {
      if (event.isComposing || composing) return;
      committed = box.value;
      showCount();
      followCaret();
      if (event.inputType === 'insertLineBreak' || event.inputType === 'insertParagraph') save();
    });
    box.addEventListener('click', () => { if (!composing) followCaret(); });
    box.addEventListener('keyup', (event) => { if (!event.isComposing && !composing) followCaret(); });

    // Typing only: pasted or dropped text is refused.
    const refuse = (event) => {
      event.preventDefault();
      setStatus('不能貼上或拖放文字，請自己打。', true);
    };
    box.addEventListener('paste', refuse);
    box.addEventListener('drop', refuse);
    box.addEventListener('beforeinput', (event) => {
      if (/^insertFrom(Paste|Drop|Yank)/.test(event.inputType)) refuse(event);
    });

    submit.addEventListener('click', finish);

    setInterval(() => {
      if (!finished) save();
    }, 5000);
    const tick = () => {
      const left = deadline - performance.now();
      timer.textContent = keyin.formatTime(left);
      timer.classList.toggle('low', left <= 60000);
      if (left <= 0) finish();
    };
    tick();
    setInterval(tick, 250);
  }

  function scoreBlock(label, value, testid, partNumber) {
    const block = keyin.element('p', null, { class: 'score' });
    block.append(keyin.element('span', label, { class: 'label' }),
      keyin.element('span', value, { class: 'value', 'data-testid': testid, 'data-part': String(partNumber) }));
    return block;
  }

  async function resultPage() {
    const state = await loadState();
    if (!state || go(state)) return;
    showWho(state);
    keyin.byId('sign-out').addEventListener('click', async () => {
      await keyin.api('POST', '/api/candidate/sign-out').catch(() => {});
      location.replace('/index.html');
    });
    const statusLine = keyin.byId('result-status');
    if (!state.ShowResults) {
      statusLine.textContent = '你的答案已經收到，謝謝。成績由監考老師公布。';
      return;
    }
    if (!state.scored) {
      setTimeout(resultPage, 1000);
      return;
    }
    statusLine.textContent = '成績如下。';
    const container = keyin.byId('parts');
    container.replaceChildren();
    for (const part of state.results) {
      const section = keyin.element('section', null, { 'data-part': String(part.part) });
      section.append(keyin.element('h2', state.parts > 1 ? '第 ' + part.part + ' 部分' : '成績'));
      if (!part.taken) {
        section.append(keyin.element('p', '這一部分沒有作答。'));
      } else if (part.scoring !== 'scored') {
        section.append(keyin.element('p', '這一部分無法評分，請告訴監考老師。'));
      } else {
        const scores = keyin.element('div', null, { class: 'scores' });
        scores.append(scoreBlock('速度（字／分）', part.speed, 'speed', part.part),
          scoreBlock('錯誤率', part.error_rate + '%', 'error-rate', part.part),
          scoreBlock('錯誤字數', part.errors, 'errors', part.part),
          scoreBlock('打字數', part.typed_chars, 'typed-chars', part.part));
        section.append(scores);
        if (part.report) {
          const address = '/api/candidate/report/' + part.part;
          section.append(keyin.element('iframe', null, { class: 'report', src: address, title: '第 ' + part.part + ' 部分詳細報告' }));
          const paragraph = keyin.element('p');
          paragraph.append(keyin.element('a', '在新分頁開啟詳細報告', { href: address, target: '_blank', rel: 'noopener' }));
          section.append(paragraph);
        }
      }
      container.append(section);
    }
    if (state.practice) drillOffer();
    if (state.review) {
      keyin.byId('review-speed').textContent = state.review.speed;
      keyin.byId('review-error-rate').textContent = state.review.error_rate + '%';
      keyin.byId('review').classList.remove('hidden');
    }
  }

  // After a practice: a drill of the candidate's own, in a room of its own; the session moves
  // there and the pages follow it.
  function drillOffer() {
    const section = keyin.byId('drill');
    section.classList.remove('hidden');
    const button = keyin.byId('start-drill');
    const status = keyin.byId('drill-status');
    button.addEventListener('click', async () => {
      button.disabled = true;
      status.textContent = '正在整理你常錯的字…';
      try {
        go(await keyin.api('POST', '/api/candidate/drill'));
      } catch (failure) {
        status.textContent = failure.message || String(failure);
        button.disabled = failure.code === 'no-drill';
      }
    });
  }

  const pages = { 'sign-in': signInPage, wait: waitPage, method: methodPage, ready: readyPage, typing: typingPage, result: resultPage };
  const run = pages[page];
  if (run) {
    run().catch((failure) => keyin.showError(failure.message || String(failure)));
  }
})();
