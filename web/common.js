'use strict';
// Shared by the candidate's and the proctor's pages: calls of the exam room's JSON API
// (docs/api.md), the error summary, and small DOM helpers. Nothing here writes into a text box
// the person is typing in.

const keyin = {};

// A refusal of the API: the HTTP status, the server's message for the person, and the word a
// page may act on ("other-window", "storage"), when the server gave one.
keyin.ApiError = class extends Error {
  constructor(status, message, code, answer) {
    super(message);
    this.status = status;
    this.code = code || '';
    this.answer = answer || {};
  }
};

// Sends a JSON body (or FormData) and returns the JSON answer; throws keyin.ApiError for a
// refusal and for a network failure (status 0).
keyin.api = async function (method, path, body) {
  const options = { method, headers: {}, credentials: 'same-origin', cache: 'no-store' };
  if (body instanceof FormData) {
    options.body = body;
  } else if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, options);
  } catch (failure) {
    throw new keyin.ApiError(0, '無法連線到伺服器，請檢查網路；系統會再試。');
  }
  let answer = {};
  try {
    answer = await response.json();
  } catch (failure) {
    answer = {};
  }
  if (!response.ok) {
    throw new keyin.ApiError(response.status, answer.error || '伺服器無法處理這個請求（' + response.status + '）', answer.code, answer);
  }
  return answer;
};

keyin.byId = (id) => document.getElementById(id);

// A random name for this page (16 hexadecimal digits).
keyin.randomId = function () {
  const bytes = new Uint8Array(8);
  crypto.getRandomValues(bytes);
  return Array.from(bytes, (byte) => byte.toString(16).padStart(2, '0')).join('');
};

// Creates an element with text content (never HTML) and attributes.
keyin.element = function (tag, text, attributes) {
  const node = document.createElement(tag);
  if (text !== undefined && text !== null) node.textContent = String(text);
  for (const [name, value] of Object.entries(attributes || {})) node.setAttribute(name, value);
  return node;
};

// Shows the message in the page's error summary and moves the focus there, so a keyboard or
// screen-reader user hears it first; a field id marks that field too.
keyin.showError = function (message, fieldId) {
  const summary = keyin.byId('errors');
  if (!summary) return;
  keyin.byId('error-text').textContent = message;
  summary.classList.remove('hidden');
  summary.focus();
  if (fieldId) {
    const field = keyin.byId(fieldId + '-field');
    const text = keyin.byId(fieldId + '-error');
    if (field) field.classList.add('invalid');
    if (text) {
      text.textContent = message;
      text.classList.remove('hidden');
    }
  }
};

keyin.clearError = function () {
  const summary = keyin.byId('errors');
  if (summary) summary.classList.add('hidden');
  for (const field of document.querySelectorAll('.field.invalid')) field.classList.remove('invalid');
  for (const text of document.querySelectorAll('.field-error')) text.classList.add('hidden');
};

// "09:05" for minutes and seconds, "1:02:03" past an hour; rounds up so 0 shows only at the end.
keyin.formatTime = function (ms) {
  const total = Math.max(0, Math.ceil(ms / 1000));
  const hours = Math.floor(total / 3600);
  const minutes = Math.floor((total % 3600) / 60);
  const seconds = total % 60;
  const two = (n) => String(n).padStart(2, '0');
  return hours > 0 ? hours + ':' + two(minutes) + ':' + two(seconds) : two(minutes) + ':' + two(seconds);
};

// "10 分鐘" or "10 分 30 秒" for a time allowed.
keyin.describeSeconds = function (seconds) {
  const minutes = Math.floor(seconds / 60);
  const rest = seconds % 60;
  if (minutes === 0) return rest + ' 秒';
  return rest === 0 ? minutes + ' 分鐘' : minutes + ' 分 ' + rest + ' 秒';
};
