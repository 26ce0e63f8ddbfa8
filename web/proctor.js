'use strict';
// The proctor's pages: sign-in, the live board of seats, a new sitting, the results. Every call
// needs the proctor's session; without one the page goes to the sign-in page.

(function () {
  const page = document.body.dataset.page;
  // The room a page works on (?room=); none: the only room the account sees.
  const room = new URLSearchParams(location.search).get('room') || '';
  const roomApi = (path) => (room ? '/api/rooms/' + encodeURIComponent(room) : '/api') + path;
  const inRoom = (address, name = room) => (name ? address + '?room=' + encodeURIComponent(name) : address);

  // The navigation and the exports stay in the room the page shows.
  if (room) {
    for (const link of document.querySelectorAll('a[data-in-room]')) {
      link.href = link.getAttribute('href').startsWith('/api/') ? roomApi(link.getAttribute('href').slice(4)) : inRoom(link.getAttribute('href'));
    }
    const title = document.querySelector('header.site .name');
    if (title) title.textContent += '・考場 ' + room;
  }

  function handle(failure) {
    if (failure.status === 401) {
      location.replace('/proctor/index.html');
      return;
    }
    if (failure.status === 409 && failure.code === 'choose-room') {
      location.replace('/proctor/rooms.html');
      return;
    }
    keyin.showError(failure.message || String(failure));
  }

  function wireSignOut() {
    const button = keyin.byId('sign-out');
    if (!button) return;
    button.addEventListener('click', async () => {
      await keyin.api('POST', '/api/proctor/sign-out').catch(() => {});
      location.replace('/proctor/index.html');
    });
  }

  function signInPage() {
    // A proctor already signed in goes straight to the board.
    keyin.api('GET', '/api/sitting').then(() => location.replace('/proctor/board.html'), () => {});
    keyin.byId('proctor-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      try {
        const sitting = await keyin.api('POST', '/api/proctor/sign-in',
          { account: keyin.byId('account').value.trim(), password: keyin.byId('password').value });
        if (sitting.role === 'teacher') location.replace('/proctor/history.html');
        else if (sitting.rooms.length > 1) location.replace('/proctor/rooms.html');
        else location.replace(sitting.open ? '/proctor/board.html' : '/proctor/new.html');
      } catch (failure) {
        keyin.showError(failure.message, 'password');
      }
    });
  }

  const stateNames = { typing: '作答中', waiting: '等待開始', scoring: '評分中', done: '已交卷', absent: '未作答' };

  function seatState(seat, parts) {
    if (seat.state === 'typing') return parts > 1 ? '作答第 ' + seat.part + ' 部分' : '作答中';
    if (seat.state === 'waiting') {
      if (!seat.signed_in) return '未登入';
      if (!seat.admitted) return '等候入場';
      return parts > 1 ? '等待開始第 ' + seat.part + ' 部分' : '等待開始';
    }
    return stateNames[seat.state] || seat.state;
  }

  async function boardPage() {
    wireSignOut();
    const list = keyin.byId('seats');
    const select = keyin.byId('add-time-seat');
    const minutes = keyin.byId('add-time-minutes');
    let board = null;
    let fetchedAt = 0;

    // A press on a seat's button is not cut short by a redraw: the board waits for its release.
    let pressing = false;
    list.addEventListener('pointerdown', () => { pressing = true; });
    window.addEventListener('pointerup', () => { pressing = false; });
    window.addEventListener('pointercancel', () => { pressing = false; });

    function render() {
      if (!board || pressing) return;
      const elapsed = performance.now() - fetchedAt;
      const cards = [];
      const tally = { typing: 0, waiting: 0, scoring: 0, done: 0, absent: 0, disconnected: 0, flagged: 0, trouble: 0 };
      for (const seat of board.seats) {
        tally[seat.state] = (tally[seat.state] || 0) + 1;
        if (seat.disconnected) tally.disconnected += 1;
        if (seat.too_fast) tally.flagged += 1;
        if (seat.storage_trouble) tally.trouble += 1;
        const card = keyin.element('li', null, {
          class: 'seat ' + seat.state + (seat.disconnected ? ' disconnected' : '') + (seat.too_fast || seat.move_requested ? ' flagged' : '') +
            (seat.storage_trouble ? ' trouble' : ''),
          'data-seat': seat.SeatNo,
          'data-state': seat.state,
          'data-disconnected': String(seat.disconnected),
          'data-too-fast': String(seat.too_fast),
          'data-storage-trouble': String(seat.storage_trouble),
        });
        card.append(keyin.element('span', seat.SeatNo, { class: 'no' }), document.createTextNode('　'),
          keyin.element('span', seat.StuName, { class: 'name' }), keyin.element('br'),
          keyin.element('span', seatState(seat, board.parts), { class: 'state' }), keyin.element('br'),
          keyin.element('span', '已打 ' + seat.chars + ' 字', { 'data-field': 'chars' }));
        if (seat.state === 'typing') {
          card.append(keyin.element('br'),
            keyin.element('span', '剩 ' + keyin.formatTime(seat.time_left_ms - elapsed), { 'data-field': 'time-left' }));
        }
        if (seat.disconnected) card.append(keyin.element('span', '⚠ 斷線', { class: 'alert' }));
        if (seat.too_fast) card.append(keyin.element('span', '⚠ 打字速度異常（可能貼上）', { class: 'alert' }));
        if (seat.storage_trouble) card.append(keyin.element('span', '⚠ 答案無法寫入伺服器磁碟', { class: 'alert' }));
        if (seat.move_requested) {
          card.append(keyin.element('span', '⚠ 另一台電腦要求接手這個座位', { class: 'alert' }),
            decision('同意換電腦', 'approve-move', seat, () => ({ path: 'move', body: { approve: true } })),
            document.createTextNode(' '),
            decision('拒絕', 'refuse-move', seat, () => ({ path: 'move', body: { approve: false } })));
        }
        if (!seat.admitted && seat.signed_in && !board.ended) {
          card.append(keyin.element('br'), decision('准許入場', 'admit', seat, () => ({ path: 'admit', body: {} })));
        }
        if (seat.actions && seat.actions.length > 0) {
          card.append(keyin.element('br'), keyin.element('span', seat.actions.join('；'), { class: 'actions', 'data-field': 'actions' }));
        }
        if (seat.state === 'typing' || seat.state === 'waiting') {
          const add = keyin.element('button', '加時', { type: 'button', class: 'secondary', 'aria-label': '座號 ' + seat.SeatNo + ' 加時' });
          add.addEventListener('click', () => {
            select.value = seat.SeatNo;
            minutes.focus();
          });
          card.append(keyin.element('br'), add);
        }
        cards.push(card);
      }
      // Keep the keyboard focus on the same seat's button across a refresh.
      const focused = document.activeElement && document.activeElement.closest('[data-seat]');
      const focusedSeat = focused ? focused.dataset.seat : null;
      list.replaceChildren(...cards);
      if (focusedSeat) {
        const again = list.querySelector('[data-seat="' + CSS.escape(focusedSeat) + '"] button');
        if (again) again.focus();
      }
      const counts = '共 ' + board.seats.length + ' 位：作答中 ' + tally.typing + '，等待 ' + tally.waiting +
        '，已交卷 ' + (tally.done + tally.scoring) + '，未作答 ' + tally.absent +
        (tally.disconnected ? '，斷線 ' + tally.disconnected : '') + (tally.flagged ? '，速度異常 ' + tally.flagged : '') +
        (tally.trouble ? '，無法儲存 ' + tally.trouble + '（請檢查伺服器的磁碟）' : '');
      keyin.byId('counts').textContent = counts + (board.ended ? '。考試已結束。' : '');
      keyin.byId('board-title').textContent =
        board.kind_label + '　試卷 ' + board.sitting.ExamPaperNo + '　場次 ' + board.sitting.SessionNo;
      keyin.byId('end-sitting').disabled = board.ended;
      const waits = board.opens_in_ms > 0 && !board.ended;
      keyin.byId('opens-box').classList.toggle('hidden', !waits);
      if (waits) {
        keyin.byId('opens-text').textContent = '考試排定在 ' + board.sitting.Opens + ' 開始（還有 ' +
          keyin.describeSeconds(Math.ceil(board.opens_in_ms / 1000)) + '）。考生已可登入、選輸入法，到時才能開始作答。';
      }
    }

    // A button that acts on the seat; the act, with the board's reason field, goes to the log.
    function decision(label, testid, seat, act) {
      const button = keyin.element('button', label, {
        type: 'button', class: testid === 'refuse-move' ? 'warning' : 'secondary',
        'data-testid': testid + '-' + seat.SeatNo, 'aria-label': '座號 ' + seat.SeatNo + ' ' + label,
      });
      button.addEventListener('click', async () => {
        keyin.clearError();
        button.disabled = true;
        const { path, body } = act();
        const reason = keyin.byId('add-time-reason').value.trim();
        if (reason !== '') body.reason = reason;
        try {
          await keyin.api('POST', roomApi('/seats/' + encodeURIComponent(seat.SeatNo) + '/' + path), body);
          await refresh();
        } catch (failure) {
          handle(failure);
        } finally {
          button.disabled = false;
        }
      });
      return button;
    }

    function fillSeats() {
      const chosen = select.value;
      select.replaceChildren(...board.seats.map((seat) => keyin.element('option', seat.SeatNo + ' ' + seat.StuName, { value: seat.SeatNo })));
      if (chosen) select.value = chosen;
    }

    async function refresh() {
      try {
        const next = await keyin.api('GET', roomApi('/board'));
        const first = board === null;
        board = next;
        fetchedAt = performance.now();
        if (first || select.options.length !== board.seats.length) fillSeats();
        render();
      } catch (failure) {
        if (failure.status === 409 && failure.code !== 'choose-room') {
          location.replace(inRoom('/proctor/new.html'));
          return;
        }
        handle(failure);
      }
    }

    keyin.byId('add-time-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const value = Number(minutes.value);
      if (!Number.isInteger(value) || value < 1 || value > 60) {
        keyin.showError('加時請填 1 到 60 的整數分鐘');
        return;
      }
      const reason = keyin.byId('add-time-reason');
      if (reason.value.trim() === '') {
        keyin.showError('請寫下加時的原因，它會記入監考紀錄', 'add-time-reason');
        reason.focus();
        return;
      }
      try {
        const seat = await keyin.api('POST', roomApi('/seats/' + encodeURIComponent(select.value) + '/add-time'),
          { seconds: value * 60, reason: reason.value });
        reason.value = '';
        const which = board.parts > 1 ? '第 ' + seat.added_to_part + ' 部分' : '作答時間';
        keyin.byId('add-time-done').textContent = '座號 ' + seat.SeatNo + ' ' + seat.StuName + '：' + which + '加時 ' + value + ' 分鐘。';
        await refresh();
      } catch (failure) {
        handle(failure);
      }
    });

    keyin.byId('open-now').addEventListener('click', async () => {
      try {
        await keyin.api('POST', roomApi('/sitting/open-now'), { reason: keyin.byId('add-time-reason').value });
        await refresh();
      } catch (failure) {
        handle(failure);
      }
    });

    const end = keyin.byId('end-sitting');
    const confirm = keyin.byId('end-confirm');
    const cancel = keyin.byId('end-cancel');
    end.addEventListener('click', () => {
      confirm.classList.remove('hidden');
      cancel.classList.remove('hidden');
      confirm.focus();
    });
    cancel.addEventListener('click', () => {
      confirm.classList.add('hidden');
      cancel.classList.add('hidden');
      end.focus();
    });
    confirm.addEventListener('click', async () => {
      confirm.classList.add('hidden');
      cancel.classList.add('hidden');
      try {
        await keyin.api('POST', roomApi('/sitting/end'), { reason: keyin.byId('end-reason').value });
        await refresh();
      } catch (failure) {
        handle(failure);
      }
    });

    await refresh();
    setInterval(refresh, 2000);
    setInterval(render, 1000);
  }

  async function newSittingPage() {
    wireSignOut();
    try {
      const info = await keyin.api('GET', room ? roomApi('/sitting') : '/api/sitting');
      if (info.open) {
        const notice = keyin.byId('current-sitting');
        notice.textContent = info.ended
          ? '上一個場次（試卷 ' + info.sitting.ExamPaperNo + '）已結束，它的檔案會保留。'
          : '考場 ' + info.room + ' 的場次（試卷 ' + info.sitting.ExamPaperNo + '）還在進行；要在這個考場開新場次請先在「座位」頁結束它，或在下面的「考場」填另一個考場。';
        notice.classList.remove('hidden');
      }
      const kinds = keyin.byId('TestType');
      kinds.replaceChildren(...info.kinds.map((kind) => keyin.element('option', kind.TestType + ' ' + kind.label, { value: kind.TestType })));
      if (info.open) {
        for (const name of ['ExamPlaceNo', 'ExamNo', 'ExamPaperNo', 'TestType', 'SessionNo', 'TotTime', 'SubtractScore', 'LibPath', 'ScrPath', 'Room']) {
          keyin.byId(name).value = info.sitting[name] || '';
        }
      } else if (room) {
        keyin.byId('Room').value = room;
      }
    } catch (failure) {
      handle(failure);
    }
    // The roster is checked as soon as it is chosen: every error by row and column, before
    // anything is kept.
    keyin.byId('roster').addEventListener('change', async (event) => {
      keyin.clearError();
      const summary = keyin.byId('roster-summary');
      summary.classList.add('hidden');
      const file = event.target.files[0];
      if (!file) return;
      const form = new FormData();
      form.append('roster', file, file.name);
      try {
        const checked = await keyin.api('POST', '/api/rosters/check', form);
        summary.textContent = '名單可用：共 ' + checked.count + ' 位考生（' +
          checked.classes.map((c) => (c.ClassName || '未填班級') + ' ' + c.count + ' 位').join('、') + '）。';
        summary.classList.remove('hidden');
      } catch (failure) {
        if (failure.status === 401) handle(failure);
        else keyin.showError(failure.message, 'roster');
      }
    });
    keyin.byId('sitting-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const field = (name) => keyin.byId(name).value.trim();
      const sitting = {
        ExamPlaceNo: field('ExamPlaceNo'), ExamNo: field('ExamNo'), ExamPaperNo: field('ExamPaperNo'),
        TestType: field('TestType'), SessionNo: field('SessionNo'), TotTime: field('TotTime'),
        SubtractScore: field('SubtractScore'), LibPath: field('LibPath'), ScrPath: field('ScrPath'),
        ...(field('Room') !== '' ? { Room: field('Room') } : {}),
        ...(field('Opens') !== '' ? { Opens: field('Opens') } : {}),
        ShowResults: document.querySelector('input[name=ShowResults]:checked').value === 'true',
      };
      if (keyin.byId('CustomText').value.trim() !== '') sitting.CustomText = keyin.byId('CustomText').value;
      const roster = keyin.byId('roster').files[0];
      if (!roster) {
        keyin.showError('請選擇考生名單的 CSV 檔', 'roster');
        return;
      }
      const form = new FormData();
      form.append('sitting', new Blob([JSON.stringify(sitting)], { type: 'application/json' }), 'sitting.json');
      form.append('roster', roster, roster.name);
      try {
        const opened = await keyin.api('POST', '/api/sitting', form);
        location.assign(inRoom('/proctor/board.html', opened.room));
      } catch (failure) {
        handle(failure);
      }
    });
  }

  function tableOf(table, columns, rows) {
    const head = keyin.element('tr');
    head.append(...columns.map((name) => keyin.element('th', name, { scope: 'col' })));
    const header = keyin.element('thead');
    header.append(head);
    const body = keyin.element('tbody');
    for (const row of rows) {
      const line = keyin.element('tr');
      line.append(...row.map((value) => (value instanceof Node ? (() => { const cell = keyin.element('td'); cell.append(value); return cell; })() : keyin.element('td', value))));
      body.append(line);
    }
    table.replaceChildren(header, body);
  }

  async function resultsPage() {
    wireSignOut();
    let results;
    try {
      results = await keyin.api('GET', roomApi('/results'));
    } catch (failure) {
      handle(failure);
      return;
    }
    keyin.byId('table-title').textContent = results.table
      ? '資料庫中的成績（' + results.rows.length + ' 筆）'
      : '這種測驗不存成績到資料庫';
    tableOf(keyin.byId('stored-rows'), results.labels || results.columns, results.rows);
    const board = results.board;
    const columns = ['座號', '考生編號', '姓名', '班級'];
    for (let part = 1; part <= board.parts; part += 1) columns.push(board.parts > 1 ? '第 ' + part + ' 部分' : '成績');
    const rows = board.seats.map((seat) => {
      const row = [seat.SeatNo, seat.UserID, seat.StuName, seat.ClassName];
      for (const part of seat.parts) {
        if (part.scoring === 'scored') {
          const cell = keyin.element('span', part.speed + ' 字／分，錯 ' + part.error_rate + '%　');
          if (part.report) {
            cell.append(keyin.element('a', '報告', { href: roomApi('/seats/' + encodeURIComponent(seat.SeatNo) + '/report/' + part.part), target: '_blank', rel: 'noopener' }));
          }
          row.push(cell);
        } else if (part.scoring === 'failed') {
          row.push('無法評分：' + part.failure);
        } else {
          row.push(part.scoring ? '評分中' : '未作答');
        }
      }
      return row;
    });
    tableOf(keyin.byId('reports'), columns, rows);
  }

  // Admission slips, one per candidate, laid out for A4 paper; the room's address is the one the
  // proctor's browser uses unless they write another.
  async function slipsPage() {
    wireSignOut();
    const address = keyin.byId('room-address');
    address.value = location.origin + '/';
    let data;
    try {
      data = await keyin.api('GET', roomApi('/slips'));
    } catch (failure) {
      handle(failure);
      return;
    }
    const list = keyin.byId('slips');
    // One QR code of the address for every slip: fetched once per address, shown as data.
    let qr = '';
    async function fetchQr() {
      qr = '';
      try {
        const response = await fetch('/api/qr.svg?text=' + encodeURIComponent(address.value), { credentials: 'same-origin' });
        if (response.ok) qr = 'data:image/svg+xml;charset=utf-8,' + encodeURIComponent(await response.text());
      } catch (failure) {
        qr = '';
      }
      render();
    }
    function render() {
      const cards = data.slips.map((slip) => {
        const card = keyin.element('li', null, { class: 'slip', 'data-seat': slip.SeatNo });
        card.append(keyin.element('p', data.kind_label + '　試卷 ' + data.sitting.ExamPaperNo + '　場次 ' + data.sitting.SessionNo, { class: 'slip-title' }));
        const facts = keyin.element('dl');
        const fact = (label, value, testid) => {
          facts.append(keyin.element('dt', label), keyin.element('dd', value, testid ? { 'data-testid': testid } : {}));
        };
        fact('座號', slip.SeatNo);
        fact('姓名', slip.StuName + (slip.ClassName ? '（' + slip.ClassName + '）' : ''));
        fact('考生編號', slip.UserID, 'slip-user-id');
        if (slip.AccessCode) fact('登入碼', slip.AccessCode, 'slip-code');
        fact('網址', address.value);
        const body = keyin.element('div', null, { class: 'slip-body' });
        body.append(facts);
        if (qr) body.append(keyin.element('img', null, { class: 'qr', src: qr, alt: '考場網址的 QR 碼' }));
        card.append(body);
        card.append(keyin.element('p', '登入碼只給你自己用，請勿借給別人。', { class: 'hint' }));
        return card;
      });
      list.replaceChildren(...cards);
      keyin.byId('slip-count').textContent = '共 ' + data.slips.length + ' 張。';
    }
    let typing = null;
    address.addEventListener('input', () => {
      render();
      clearTimeout(typing);
      typing = setTimeout(fetchQr, 400);
    });
    keyin.byId('print').addEventListener('click', () => window.print());
    render();
    await fetchQr();
  }

  // Every room the account sees, with where to go in each.
  async function roomsPage() {
    wireSignOut();
    let rooms;
    try {
      rooms = await keyin.api('GET', '/api/rooms');
    } catch (failure) {
      handle(failure);
      return;
    }
    const rows = rooms.map((each) => {
      const links = keyin.element('span');
      const link = (label, address, testid) => {
        links.append(keyin.element('a', label, { href: inRoom(address, each.room), 'data-testid': testid + '-' + each.room }), '　');
      };
      if (each.may_run && each.open) link('座位', '/proctor/board.html', 'room-board');
      if (each.open) link('成績', '/proctor/results.html', 'room-results');
      if (each.may_run && (!each.open || each.ended)) link('新場次', '/proctor/new.html', 'room-new');
      const state = !each.open ? '沒有場次' : each.ended ? '已結束'
        : each.opens_in_ms > 0 ? each.sitting.Opens + ' 開始' : '進行中';
      const sitting = each.open ? each.kind_label + '　試卷 ' + each.sitting.ExamPaperNo + '　場次 ' + each.sitting.SessionNo : '';
      const proctors = each.open && each.sitting.Proctors ? each.sitting.Proctors.join('、') : '所有監考帳號';
      return [each.room, sitting, state, each.open ? String(each.seats) : '', proctors, links];
    });
    keyin.byId('room-count').textContent = rooms.length === 0 ? '還沒有考場；建立第一個場次時會建立它的考場。' : '共 ' + rooms.length + ' 個考場。';
    tableOf(keyin.byId('rooms'), ['考場', '場次', '狀態', '座位數', '監考', ''], rows);
  }

  // Teachers' results across every room: filters, the table, exports, one candidate's history.
  async function historyPage() {
    wireSignOut();
    const form = keyin.byId('history-form');
    const sittings = keyin.byId('sitting');
    try {
      for (const sitting of await keyin.api('GET', '/api/history/sittings')) {
        sittings.append(keyin.element('option', '考場 ' + sitting.room + '・' + sitting.kind + ' ' + sitting.paper + '・' + sitting.opened_at + '（' + sitting.candidates + ' 人）', { value: sitting.id }));
      }
    } catch (failure) {
      handle(failure);
    }

    function query() {
      const parameters = new URLSearchParams();
      for (const name of ['kind', 'class', 'user', 'paper', 'from', 'to', 'sitting']) {
        const value = keyin.byId(name).value.trim();
        if (value !== '') parameters.set(name, value);
      }
      return parameters.toString();
    }

    function chart(points) {
      const svg = keyin.byId('candidate-chart');
      const ns = 'http://www.w3.org/2000/svg';
      const shape = (tag, attributes, text) => {
        const node = document.createElementNS(ns, tag);
        for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
        if (text !== undefined) node.textContent = text;
        return node;
      };
      const left = 48, right = 700, top = 16, bottom = 220;
      const maxSpeed = Math.max(10, ...points.map((p) => p.speed));
      const maxError = Math.max(5, ...points.map((p) => p.error_rate));
      const x = (i) => (points.length < 2 ? (left + right) / 2 : left + (i * (right - left)) / (points.length - 1));
      const y = (value, max) => bottom - (value / max) * (bottom - top);
      const nodes = [shape('line', { class: 'axis', x1: left, y1: bottom, x2: right, y2: bottom }),
        shape('line', { class: 'axis', x1: left, y1: top, x2: left, y2: bottom }),
        shape('text', { x: 4, y: top + 10 }, Math.round(maxSpeed) + ' 字'),
        shape('text', { x: right - 40, y: top + 10 }, Math.round(maxError) + '%')];
      nodes.push(shape('polyline', { class: 'speed', points: points.map((p, i) => x(i) + ',' + y(p.speed, maxSpeed)).join(' ') }));
      nodes.push(shape('polyline', { class: 'errors', points: points.map((p, i) => x(i) + ',' + y(p.error_rate, maxError)).join(' ') }));
      points.forEach((p, i) => {
        nodes.push(shape('circle', { cx: x(i), cy: y(p.speed, maxSpeed), r: 4, fill: 'var(--link)' }));
        nodes.push(shape('text', { x: x(i) - 30, y: bottom + 18 }, p.date.slice(5, 10)));
      });
      svg.replaceChildren(...nodes);
    }

    async function showCandidate(user) {
      keyin.clearError();
      let history;
      try {
        history = await keyin.api('GET', '/api/history/candidate?user=' + encodeURIComponent(user));
      } catch (failure) {
        handle(failure);
        return;
      }
      const section = keyin.byId('candidate');
      section.classList.remove('hidden');
      keyin.byId('candidate-title').textContent = history.UserID + ' ' + history.StuName + (history.ClassName ? '（' + history.ClassName + '）' : '') + ' 的歷次成績';
      chart(history.points);
      tableOf(keyin.byId('candidate-rows'), ['日期', '類別', '試卷', '速度（字／分）', '錯誤率（%）'],
        history.points.map((p) => [p.date, p.kind, p.paper, String(p.speed), String(p.error_rate)]));
      const missed = keyin.byId('candidate-missed');
      missed.replaceChildren(...history.missed.map((m) => {
        const chip = keyin.element('span', m.character);
        chip.append(keyin.element('small', '×' + m.count));
        return chip;
      }));
      if (history.missed.length === 0) missed.textContent = '沒有記錄到打錯的字。';
      drillUser = history.UserID;
      keyin.byId('drill-characters').replaceChildren();
      keyin.byId('drill-lines').replaceChildren();
      keyin.byId('drill-download').classList.add('hidden');
      section.scrollIntoView();
    }

    // The drill of the candidate shown: its characters (with codes in a method) and lines.
    let drillUser = '';
    const methods = keyin.byId('drill-method');
    for (const name of ['倉頡', '新倉頡', '速成', '行列', '大易', '注音', '新注音']) {
      methods.append(keyin.element('option', name, { value: name }));
    }
    keyin.byId('drill-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const parameters = 'user=' + encodeURIComponent(drillUser) + (methods.value ? '&method=' + encodeURIComponent(methods.value) : '');
      const characters = keyin.byId('drill-characters');
      characters.textContent = '整理中…';
      let drill;
      try {
        drill = await keyin.api('GET', '/api/history/drill?' + parameters);
      } catch (failure) {
        characters.textContent = '';
        handle(failure);
        return;
      }
      characters.replaceChildren(...drill.characters.map((c) => {
        const chip = keyin.element('span', c.character);
        chip.append(keyin.element('small', '×' + c.misses));
        if (c.code) chip.append(keyin.element('small', ' ' + c.code.keys + ' ' + c.code.radicals, { class: 'code' }));
        return chip;
      }));
      if (drill.characters.length === 0) characters.textContent = '目前沒有需要加強的字。';
      keyin.byId('drill-lines').replaceChildren(...drill.lines.map((line) => keyin.element('li', line)));
      const download = keyin.byId('drill-download');
      download.href = '/api/history/drill.cus?user=' + encodeURIComponent(drillUser);
      download.setAttribute('download', 'DRILL-' + drillUser + '.cus');
      download.classList.toggle('hidden', drill.lines.length === 0);
    });

    async function search() {
      keyin.clearError();
      const parameters = query();
      const suffix = parameters ? '?' + parameters : '';
      keyin.byId('export-csv').href = '/api/history.csv' + suffix;
      keyin.byId('export-big5').href = '/api/history.csv?' + (parameters ? parameters + '&' : '') + 'encoding=cp950';
      keyin.byId('export-json').href = '/api/history.json' + suffix;
      keyin.byId('class-report').href = '/api/history/report.html' + suffix;
      let table;
      try {
        table = await keyin.api('GET', '/api/history' + suffix);
      } catch (failure) {
        handle(failure);
        return;
      }
      keyin.byId('history-count').textContent = '成績（' + table.count + ' 筆）';
      const user = table.columns.findIndex((column) => column.label === '帳號');
      const rows = table.rows.map((row) => row.map((cell, i) => {
        if (i !== user || cell === '') return cell;
        const button = keyin.element('button', cell, { type: 'button', class: 'link', 'data-testid': 'history-of-' + cell });
        button.addEventListener('click', () => showCandidate(cell));
        return button;
      }));
      tableOf(keyin.byId('history-rows'), table.columns.map((column) => column.label), rows);
    }

    form.addEventListener('submit', (event) => {
      event.preventDefault();
      search();
    });
    await search();
  }

  // The administrator's papers: pasted or loaded text, previewed as candidates will see it.
  async function papersPage() {
    wireSignOut();
    async function list() {
      try {
        const papers = await keyin.api('GET', '/api/papers');
        tableOf(keyin.byId('papers'), ['試卷', '考試中使用的考場', '已評分的成績'],
          papers.map((paper) => {
            if (paper.in_use.length) return [paper.ExamPaperNo, paper.in_use.join('、'), '考試結束後可重新評分'];
            const button = keyin.element('button', '試算重新評分', { type: 'button', class: 'link', 'data-testid': 'rescore-' + paper.ExamPaperNo });
            button.addEventListener('click', () => rescore(paper.ExamPaperNo, true));
            return [paper.ExamPaperNo, '—', button];
          }));
      } catch (failure) {
        handle(failure);
      }
    }
    // A re-scoring runs on the server; the page asks how it stands until it is done.
    const number = (value) => (value === null ? '-' : String(value));
    const change = (values) => (values.after === null || values.after === values.before
      ? number(values.before) : number(values.before) + ' → ' + number(values.after));
    const resultLabels = { changed: '變更', same: '相同', failed: '失敗' };
    function showRescore(state) {
      const section = keyin.byId('rescore');
      section.classList.remove('hidden');
      const paper = state.ExamPaperNo;
      keyin.byId('rescore-title').textContent = '重新評分 ' + paper + (state.dry_run ? '（試算）' : '');
      const status = keyin.byId('rescore-status');
      const confirm = keyin.byId('rescore-confirm');
      confirm.classList.add('hidden');
      if (state.state === 'running') {
        status.textContent = state.dry_run ? '試算中，請稍候…' : '重新評分中，請稍候…';
        setTimeout(() => keyin.api('GET', '/api/rescore').then(showRescore, handle), 1000);
        return;
      }
      if (state.state === 'failed') {
        status.textContent = '無法重新評分：' + state.error;
        return;
      }
      const counts = state.runs.length + ' 筆：變更 ' + state.changed + ' 筆，相同 ' + state.same + ' 筆，失敗 ' + state.failed + ' 筆。';
      status.textContent = state.dry_run
        ? '試算結果（還沒有寫入任何成績）' + counts
        : '已重新評分，成績與報表已更新。' + counts;
      tableOf(keyin.byId('rescore-runs'), ['時間', '類別', '考生編號', '姓名', '測驗', '速度', '錯誤率', '結果'],
        state.runs.map((run) => [run.time, run.kind, run.UserID, run.StuName, run.TestPart,
          change(run.speed), change(run.error_rate), resultLabels[run.result] + (run.failure ? '：' + run.failure : '')]));
      if (state.dry_run && state.changed > 0) {
        confirm.textContent = '確定重新評分（更新 ' + state.changed + ' 筆變更的成績）';
        confirm.dataset.paper = paper;
        confirm.classList.remove('hidden');
      }
    }
    async function rescore(paper, dryRun) {
      keyin.clearError();
      try {
        showRescore(await keyin.api('POST', '/api/papers/' + encodeURIComponent(paper) + '/rescore', { dry_run: dryRun }));
      } catch (failure) {
        handle(failure);
      }
    }
    keyin.byId('rescore-confirm').addEventListener('click', (event) => rescore(event.target.dataset.paper, false));
    for (const part of ['part1', 'part2']) {
      keyin.byId(part + '-file').addEventListener('change', async (event) => {
        const file = event.target.files[0];
        if (file) keyin.byId(part).value = await file.text();
      });
    }
    const body = () => ({
      ExamPaperNo: keyin.byId('paper-no').value.trim(), part1: keyin.byId('part1').value,
      part2: keyin.byId('part2').value, replace: keyin.byId('replace').checked,
    });
    function show(paper) {
      for (const [index, part] of ['part1', 'part2'].entries()) {
        const lines = paper.parts[index];
        keyin.byId('preview-' + part).replaceChildren(...lines.map((line) => keyin.element('li', line)));
        keyin.byId('preview-' + part + '-title').textContent = '第' + (index === 0 ? '一' : '二') + '部分（' + lines.length + ' 行）';
      }
      keyin.byId('preview').classList.remove('hidden');
    }
    keyin.byId('paper-preview').addEventListener('click', async () => {
      keyin.clearError();
      keyin.byId('paper-done').classList.add('hidden');
      try {
        const paper = await keyin.api('POST', '/api/papers/preview', body());
        show(paper);
        if (paper.exists) keyin.showError('已有試卷 ' + paper.ExamPaperNo + '；要取代它請勾選「取代現有的試卷」。');
      } catch (failure) {
        handle(failure);
      }
    });
    keyin.byId('paper-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      try {
        const paper = await keyin.api('POST', '/api/papers', body());
        show(paper);
        const done = keyin.byId('paper-done');
        done.textContent = '已建立試卷 ' + paper.ExamPaperNo + '（第一部分 ' + paper.parts[0].length + ' 行，第二部分 ' + paper.parts[1].length + ' 行）。';
        done.classList.remove('hidden');
        await list();
      } catch (failure) {
        handle(failure);
      }
    });
    await list();
    const running = await keyin.api('GET', '/api/rescore');
    if (running.state !== 'idle') showRescore(running);
  }

  // The administrator's accounts: add one, give one a new password, remove one.
  async function accountsPage() {
    wireSignOut();
    const roles = { administrator: '管理者', proctor: '監考', teacher: '老師' };
    const done = (text) => {
      const notice = keyin.byId('account-done');
      notice.textContent = text;
      notice.classList.remove('hidden');
    };
    function show(list) {
      tableOf(keyin.byId('accounts'), ['帳號', '角色', ''], list.accounts.map((account) => {
        const actions = keyin.element('span');
        const password = keyin.element('button', '改密碼', { type: 'button', class: 'link', 'data-testid': 'password-' + account.name });
        password.addEventListener('click', () => {
          keyin.byId('password-account').value = account.name;
          keyin.byId('new-password').focus();
        });
        actions.append(password);
        if (account.name !== list.you) {
          // A second click, on the button that now says what it will do, removes the account.
          const remove = keyin.element('button', '刪除', { type: 'button', class: 'link', 'data-testid': 'remove-' + account.name });
          remove.addEventListener('click', async () => {
            if (!remove.dataset.armed) {
              remove.dataset.armed = 'yes';
              remove.textContent = '確定刪除 ' + account.name + '（已登入的頁面會立刻登出）';
              return;
            }
            keyin.clearError();
            try {
              show(await keyin.api('DELETE', '/api/accounts/' + encodeURIComponent(account.name)));
              done('已刪除帳號 ' + account.name + '。');
            } catch (failure) {
              handle(failure);
            }
          });
          actions.append('　', remove);
        }
        return [account.name, roles[account.role] || account.role, actions];
      }));
      keyin.byId('password-account').replaceChildren(...list.accounts.map((account) => keyin.element('option', account.name, { value: account.name })));
    }
    keyin.byId('password-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const name = keyin.byId('password-account').value;
      try {
        show(await keyin.api('POST', '/api/accounts/' + encodeURIComponent(name) + '/password', { password: keyin.byId('new-password').value }));
        keyin.byId('new-password').value = '';
        done('已更改 ' + name + ' 的密碼；用舊密碼登入的頁面要重新登入。');
      } catch (failure) {
        handle(failure);
      }
    });
    keyin.byId('account-form').addEventListener('submit', async (event) => {
      event.preventDefault();
      keyin.clearError();
      const name = keyin.byId('account-name').value.trim();
      try {
        show(await keyin.api('POST', '/api/accounts', {
          name, role: document.querySelector('input[name=role]:checked').value,
          password: keyin.byId('account-password').value,
        }));
        keyin.byId('account-name').value = '';
        keyin.byId('account-password').value = '';
        done('已新增帳號 ' + name + '。');
      } catch (failure) {
        handle(failure);
      }
    });
    try {
      show(await keyin.api('GET', '/api/accounts'));
    } catch (failure) {
      handle(failure);
    }
  }

  const pages = { 'proctor-sign-in': signInPage, accounts: accountsPage, rooms: roomsPage, history: historyPage, papers: papersPage, board: boardPage, slips: slipsPage, 'new-sitting': newSittingPage, results: resultsPage };
  const run = pages[page];
  if (run) run().catch(handle);
})();
