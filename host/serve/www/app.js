// The browser client: log-in, the connection to the server, the queue of the
// person's actions (one at a time: the next goes when the frame has answered
// the last with a screen or a question), and the drawing of each screen.

import { askDialog } from './asks.js';
import { el, isTextEntry } from './dom.js';
import { MenuBar } from './menu.js';
import { WindowView } from './windows.js';
import { actions, keyName, normalKey } from './wire.js';

const $ = (id) => document.getElementById(id);

// Keys every window of the frame knows besides those its menu lists: its
// general record keys and the find windows' search and refresh.
const frameKeys = new Set(['ctrl+f', 'f5', 'ctrl+s', 'ctrl+n', 'ctrl+pageup', 'ctrl+pagedown',
                           'ctrl+home', 'ctrl+end']);
// Keys that edit text where text is typed or selected.
const editingKeys = new Set(['ctrl+c', 'ctrl+x', 'ctrl+v', 'ctrl+a', 'ctrl+z', 'ctrl+y',
                             'ctrl+shift+z', 'ctrl+home', 'ctrl+end']);
const noticeTags = { error: 'Error', security: 'Security', window: 'Window', startup: 'Start-up',
                     help: 'Help', close: 'Close', idle: 'Session' };

const S = {
  ws: null,
  ended: false,          // the server said the session is over: no reconnecting
  reconnectDelay: 500,   // ms, doubles up to 8 s
  screen: null,
  ask: null,             // the open question, null none
  askAnswered: false,    // its answer sent; it stays until the next screen
  askLayer: null,
  queue: [],             // messages not sent yet, in order
  inFlight: false,       // an action or answer sent, its screen not come
  hourglass: false,
  views: new Map(),      // window id -> WindowView
  mainId: null,          // the window shown in the window area
  activeId: null,        // the window that had the focus after the last screen
  pendingFocus: null,    // a field the frame asked to focus
  downloads: [],
};

let menu;

// ---- sending ------------------------------------------------------------

function send(msg) {
  const last = S.queue[S.queue.length - 1];
  // Selections made in a row (arrow keys held down) collapse to the last.
  if (last && msg.t === 'action' && last.t === 'action' && last.window === msg.window &&
      /^select /.test(msg.text) && /^select /.test(last.text)) {
    S.queue[S.queue.length - 1] = msg;
  } else {
    S.queue.push(msg);
  }
  $('idle').hidden = true;
  pump();
}

function act(text, windowId) {
  const msg = { t: 'action', text };
  if (windowId !== null && windowId !== undefined) msg.window = windowId;
  send(msg);
}

function pump() {
  if (!S.inFlight && !S.ask && S.ws && S.ws.readyState === WebSocket.OPEN && S.queue.length) {
    S.ws.send(JSON.stringify(S.queue.shift()));
    S.inFlight = true;
  }
  showBusy();
}

function settled() {
  return !S.inFlight && S.queue.length === 0;
}

function showBusy() {
  const busy = S.inFlight || S.hourglass || S.queue.length > 0;
  document.body.classList.toggle('busy', busy);
  $('busy').hidden = !busy;
  $('app').setAttribute('aria-busy', busy ? 'true' : 'false');
}

// ---- the connection --------------------------------------------------------

function connect() {
  const url = `${location.protocol === 'https:' ? 'wss:' : 'ws:'}//${location.host}/ws`;
  const ws = new WebSocket(url);
  S.ws = ws;
  ws.addEventListener('open', () => {
    S.reconnectDelay = 500;
    pump();
  });
  ws.addEventListener('message', (ev) => {
    let m;
    try {
      m = JSON.parse(ev.data);
    } catch {
      return;
    }
    if (m && typeof m === 'object') receive(m);
  });
  ws.addEventListener('close', () => {
    if (S.ws !== ws) return;
    S.ws = null;
    S.inFlight = false;
    showBusy();
    if (S.ended) return;
    status('The connection to the server was lost; reconnecting\u2026', 'error');
    setTimeout(reconnect, S.reconnectDelay);
    S.reconnectDelay = Math.min(8000, S.reconnectDelay * 2);
  });
}

async function reconnect() {
  if (S.ended || S.ws) return;
  try {
    const r = await fetch('/api/session', { cache: 'no-store' });
    if (r.status === 401) {
      showLogin('The session has ended. Log in again.');
      return;
    }
    if (r.ok) {
      connect();
      return;
    }
  } catch {
    // the server is not reachable yet: try again later
  }
  setTimeout(reconnect, S.reconnectDelay);
  S.reconnectDelay = Math.min(8000, S.reconnectDelay * 2);
}

function receive(m) {
  switch (m.t) {
    case 'hello':
      showWho(m);
      status('Connected.', 'status');
      S.inFlight = false;   // the server sends the last screen and open question again
      showBusy();
      break;
    case 'screen':
      S.inFlight = false;
      if (S.ask) closeAsk();
      S.screen = m;
      render();
      pump();
      break;
    case 'ask':
      S.inFlight = false;
      openAsk(m);
      showBusy();
      break;
    case 'notice': notice(m.kind || '', m.text || ''); break;
    case 'progress': progress(m); break;
    case 'file': download(m); break;
    case 'refused':
      status(m.text || 'The server did not accept that.', 'error');
      S.inFlight = false;
      if (S.ask && S.askAnswered) openAsk(S.ask);
      pump();
      break;
    case 'ended': endSession(m.text || 'The session has ended.'); break;
    default: break;
  }
}

// ---- status line, notices, progress, files ---------------------------------

function status(text, kind) {
  const line = $('status-text');
  const tag = noticeTags[kind];
  line.replaceChildren(...(tag ? [el('span', { class: `tag tag-${kind}`, text: tag }), ' '] : []), text);
  line.className = `status-text kind-${kind || 'status'}`;
  const list = $('history-list');
  const time = new Date().toLocaleTimeString([], { hour: '2-digit', minute: '2-digit', second: '2-digit' });
  list.append(el('li', { class: `kind-${kind || 'status'}` }, el('time', { text: time }), ' ',
                 tag ? el('span', { class: `tag tag-${kind}`, text: tag }) : null, ' ', text));
  while (list.childElementCount > 100) list.firstChild.remove();
}

let toastTimer = null;
function toast(text) {
  const t = $('toast');
  t.textContent = text;
  t.hidden = false;
  t.classList.remove('fade');
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    t.classList.add('fade');
    toastTimer = setTimeout(() => { t.hidden = true; }, 600);
  }, 6000);
}

function notice(kind, text) {
  switch (kind) {
    case 'hourglass':
      S.hourglass = text === 'on';
      showBusy();
      return;
    case 'focus':
      S.pendingFocus = text;
      if (settled()) applyPendingFocus();
      return;
    case 'show':
      return;   // the frame's text view of a window: the page draws windows itself
    case 'idle':
      $('idle-text').textContent = text;
      $('idle').hidden = false;
      status(text, kind);
      return;
    case 'error':
      status(text, kind);
      toast(text);
      return;
    default:
      status(text, kind);
  }
}

function progress(m) {
  const total = Number(m.total) || 0;
  const box = $('progress');
  if (total <= 0) {
    box.hidden = true;
    return;
  }
  const done = Math.max(0, Math.min(total, Number(m.done) || 0));
  box.hidden = false;
  $('progress-text').textContent = `${m.text || 'Working'} ${Math.round((100 * done) / total)}%`;
  $('progress-bar').max = total;
  $('progress-bar').value = done;
}

function download(m) {
  if (typeof m.url !== 'string' || !m.url.startsWith('/')) return;
  const name = String(m.name || 'file');
  const link = el('a', { href: m.url, class: 'download', text: `Download ${name}` });
  if (/\.pdf$/i.test(name)) {
    link.target = '_blank';
    link.rel = 'noopener';
    window.open(m.url, '_blank', 'noopener');
  } else {
    link.setAttribute('download', name);
  }
  S.downloads.push(link);
  while (S.downloads.length > 3) S.downloads.shift();
  $('downloads').replaceChildren(...S.downloads);
  status(`${name} is ready.`, 'file');
}

// ---- drawing a screen -----------------------------------------------------

function windowHost() {
  return {
    send: (text, id) => act(text, id),
    enter: (id) => act(actions.key('Enter'), id),
  };
}

function focusInfo() {
  const a = document.activeElement;
  if (!a || a === document.body || !a.isConnected) return null;
  const w = a.closest('[data-window]');
  if (w && a.dataset.fkey) return { win: Number(w.dataset.window), key: a.dataset.fkey };
  if (a.dataset.tab) return { tab: a.dataset.tab };
  return { other: true };
}

function render() {
  const sc = S.screen;
  const wins = Array.isArray(sc.windows) ? sc.windows : [];
  const modal = sc.modal ?? null;
  const before = focusInfo();
  menu.update(sc.menu);

  const ids = new Set(wins.map((w) => w.id));
  for (const [id, v] of S.views) {
    if (!ids.has(id)) {
      v.element.remove();
      S.views.delete(id);
    }
  }
  const ok = settled();
  for (const w of wins) {
    let v = S.views.get(w.id);
    if (!v) S.views.set(w.id, (v = new WindowView(w, windowHost())));
    v.update(w, ok);
  }
  const plain = wins.filter((w) => w.id !== modal);
  if (sc.current !== null && sc.current !== undefined && sc.current !== modal && ids.has(sc.current)) {
    S.mainId = sc.current;
  } else if (!plain.some((w) => w.id === S.mainId)) {
    S.mainId = plain.length ? plain[plain.length - 1].id : null;
  }
  placeWindows(modal);
  drawTabs(wins, modal);

  const activeId = modal ?? S.mainId;
  const view = S.views.get(activeId);
  const lost = !document.activeElement || document.activeElement === document.body ||
               !document.activeElement.isConnected;
  if (S.ask) {
    // the question keeps the focus
  } else if (view && activeId !== S.activeId) {
    view.focusBack();
  } else if (view && lost) {
    view.focusBack(before && before.win === activeId ? before.key : null);
  } else if (lost && before && before.tab) {
    const t = document.querySelector(`[data-tab="${before.tab}"]`);
    if (t) t.focus();
  }
  S.activeId = activeId;
  applyPendingFocus();
}

function applyPendingFocus() {
  if (!S.pendingFocus || S.ask || !S.screen) return;
  const view = S.views.get(S.screen.modal ?? S.mainId);
  if (view && view.focusField(S.pendingFocus)) S.pendingFocus = null;
}

function placeWindows(modal) {
  const area = $('area');
  for (const [id, v] of S.views) {
    if (id === modal) continue;
    if (v.element.parentNode !== area) area.append(v.element);
    v.element.hidden = id !== S.mainId;
  }
  $('empty').hidden = S.mainId !== null || modal !== null;
  const layers = $('layers');
  let layer = layers.querySelector('.layer-window');
  const mv = modal !== null ? S.views.get(modal) : null;
  if (mv) {
    if (!layer) {
      layer = el('div', { class: 'layer layer-window' },
                 el('div', { class: 'dialog window-dialog', role: 'dialog', 'aria-modal': 'true' }));
      layers.prepend(layer);
    }
    const box = layer.firstChild;
    if (mv.element.parentNode !== box) box.replaceChildren(mv.element);
    box.setAttribute('aria-label', mv.caption || 'Window');
    mv.element.hidden = false;
  } else if (layer) {
    layer.remove();
  }
  setInert();
}

function setInert() {
  const modalWindow = $('layers').querySelector('.layer-window');
  $('app').inert = !!(modalWindow || S.askLayer);
  if (modalWindow) modalWindow.inert = !!S.askLayer;
}

function drawTabs(wins, modal) {
  const tabs = $('tabs');
  const focused = document.activeElement && document.activeElement.dataset
    ? document.activeElement.dataset.tab : undefined;
  tabs.replaceChildren(...wins.map((w) => {
    const on = w.id === modal || (modal === null && w.id === S.mainId);
    const tab = el('button', {
      type: 'button', role: 'tab', class: 'tab-button', 'aria-selected': on ? 'true' : 'false',
      tabIndex: on ? 0 : -1, dataset: { tab: String(w.id) },
      title: w.changed ? `${w.caption} (unsaved changes)` : w.caption,
      onclick: () => showWindow(w.id),
    }, w.changed ? el('span', { class: 'dot', 'aria-label': 'unsaved changes', text: '\u2022' }) : null,
       el('span', { class: 'tab-caption', text: w.caption }));
    const close = el('button', {
      type: 'button', class: 'tab-close', 'aria-label': `Close ${w.caption}`, title: 'Close',
      tabIndex: -1, text: '\u00D7',
      onclick: (ev) => {
        ev.stopPropagation();
        act(actions.key('Escape'), w.id);
      },
    });
    return el('div', { class: `tab${on ? ' current' : ''}${w.id === modal ? ' modal' : ''}`, role: 'presentation' }, tab, close);
  }));
  tabs.hidden = wins.length === 0;
  if (focused !== undefined) {
    const t = tabs.querySelector(`[data-tab="${focused}"]`);
    if (t) t.focus();
  }
}

function showWindow(id) {
  if (!S.views.has(id)) return;
  if (S.screen && S.screen.current !== id) act('show', id);
  S.mainId = id;
  placeWindows(S.screen ? S.screen.modal ?? null : null);
  drawTabs(S.screen.windows, S.screen.modal ?? null);
  S.activeId = id;
  S.views.get(id).focusBack();
}

// ---- questions -----------------------------------------------------------

function openAsk(ask) {
  closeAsk();
  S.ask = ask;
  S.askAnswered = false;
  const d = askDialog(ask, { answer: answerAsk, upload: uploadFile });
  if (!d) {
    answerAsk({ cancel: true });
    return;
  }
  S.askLayer = el('div', { class: d.menu ? 'layer layer-menu' : 'layer layer-ask' }, d.element);
  // A click beside a pop-up menu dismisses it.
  if (d.menu) S.askLayer.addEventListener('mousedown', (ev) => {
    if (ev.target === S.askLayer) answerAsk({ cancel: true });
  });
  $('layers').append(S.askLayer);
  setInert();
  menu.close(false);
  d.focus();
}

function closeAsk() {
  if (S.askLayer) S.askLayer.remove();
  S.askLayer = null;
  S.ask = null;
  setInert();
}

function answerAsk(fields) {
  if (!S.ask) return;
  if (!S.ws || S.ws.readyState !== WebSocket.OPEN) {
    status('Not connected to the server; answer again when the connection is back.', 'error');
    openAsk(S.ask);
    return;
  }
  S.ws.send(JSON.stringify({ t: 'answer', id: S.ask.id, ...fields }));
  S.askAnswered = true;
  S.inFlight = true;
  if (S.askLayer) S.askLayer.remove();
  S.askLayer = null;
  setInert();
  showBusy();
  const view = S.views.get(S.activeId);
  if (view) view.focusBack();
}

// `last` false: one of several files, answered by the page afterwards.
function uploadFile(file, onProgress, last = true) {
  const id = S.ask.id;
  return new Promise((resolve) => {
    // XMLHttpRequest rather than fetch: only it reports upload progress.
    const xhr = new XMLHttpRequest();
    xhr.open('POST', `/api/upload?ask=${encodeURIComponent(id)}`);
    // A header carries printable ASCII only; other names go percent-encoded.
    const name = /^[\x20-\x7e]*$/.test(file.name) ? file.name : encodeURIComponent(file.name);
    xhr.setRequestHeader('X-File-Name', name);
    xhr.upload.addEventListener('progress', (ev) => onProgress(ev.loaded, ev.total));
    xhr.addEventListener('load', () => {
      if (xhr.status === 200) {
        if (last) {
          S.askAnswered = true;
          S.inFlight = true;
          showBusy();
        }
        resolve({ ok: true });
        return;
      }
      let error = `The upload failed (${xhr.status}).`;
      try {
        error = JSON.parse(xhr.responseText).error || error;
      } catch {
        // not JSON: keep the general text
      }
      resolve({ ok: false, error });
    });
    xhr.addEventListener('error', () => resolve({ ok: false, error: 'The server cannot be reached.' }));
    xhr.send(file);
  });
}

// ---- keys -----------------------------------------------------------------

function targetWindow(node) {
  const w = node && node.closest ? node.closest('[data-window]') : null;
  if (w) return Number(w.dataset.window);
  return S.screen ? (S.screen.modal ?? S.mainId) : null;
}

function onKey(ev) {
  if (ev.defaultPrevented || $('app').hidden || S.ask || menu.isOpen() || ev.isComposing) return;
  const modal = S.screen ? S.screen.modal ?? null : null;
  if (ev.altKey && !ev.ctrlKey && !ev.metaKey && /^Key[A-Z]$/.test(ev.code)) {
    const letter = ev.code.slice(3).toLowerCase();
    const view = S.views.get(modal ?? S.mainId);
    if (modal === null && menu.openByLetter(letter)) {
      ev.preventDefault();
      return;
    }
    const b = view && view.buttonByLetter(letter);
    if (b) {
      ev.preventDefault();
      b.click();
    }
    return;
  }
  const name = keyName(ev);
  if (!name) return;
  const norm = normalKey(name);
  const win = targetWindow(ev.target);
  const inText = isTextEntry(ev.target);
  if (ev.ctrlKey || /^F\d+$/.test(ev.key)) {
    const known = frameKeys.has(norm) || menu.keyMap().has(norm);
    if (!known) return;
    const selection = String(window.getSelection ? window.getSelection() : '');
    if (editingKeys.has(norm) && (inText || selection)) return;
    ev.preventDefault();
    // The frame's keys are out of reach while a window waits for its answer.
    if (modal !== null) return;
    const view = S.views.get(win);
    if (view) view.commitActive();
    act(actions.key(name), win);
    return;
  }
  // Enter or Escape with the focus outside any window's fields.
  if ((norm === 'enter' || norm === 'escape') && win !== null &&
      (ev.target === document.body || ev.target.id === 'area')) {
    ev.preventDefault();
    act(actions.key(name), win);
  }
}

// ---- log-in and the session ---------------------------------------------------

function showWho(info) {
  const user = info.user || '';
  $('who').textContent = info.location ? `${user} \u00B7 ${info.location}` : user;
}

function resetState() {
  S.screen = null;
  S.queue = [];
  S.inFlight = false;
  S.hourglass = false;
  S.pendingFocus = null;
  S.mainId = null;
  S.activeId = null;
  closeAsk();
  for (const v of S.views.values()) v.element.remove();
  S.views.clear();
  $('layers').replaceChildren();
  $('tabs').replaceChildren();
  $('downloads').replaceChildren();
  S.downloads = [];
  $('progress').hidden = true;
  $('idle').hidden = true;
  $('toast').hidden = true;
  $('history-list').replaceChildren();
  $('empty').hidden = false;
  menu.update([]);
  showBusy();
}

function showLogin(info) {
  S.ended = true;
  if (S.ws) {
    const ws = S.ws;
    S.ws = null;
    ws.close();
  }
  resetState();
  $('app').hidden = true;
  $('app').inert = false;
  $('login').hidden = false;
  $('login-info').textContent = info || '';
  $('login-info').hidden = !info;
  $('login-error').textContent = '';
  document.title = 'Acquisitions';
  const user = $('login-user');
  (user.value ? $('login-password') : user).focus();
}

function startApp(info) {
  resetState();
  S.ended = false;
  S.reconnectDelay = 500;
  showWho(info);
  $('status-text').replaceChildren('Connecting\u2026');
  $('login').hidden = true;
  $('app').hidden = false;
  connect();
}

function endSession(text) {
  showLogin(text);
}

async function logIn(ev) {
  ev.preventDefault();
  const button = $('login-button');
  if (button.disabled) return;
  const user = $('login-user').value.trim();
  const password = $('login-password').value;
  const error = $('login-error');
  if (!user) {
    error.textContent = 'Type your user name.';
    $('login-user').focus();
    return;
  }
  error.textContent = '';
  button.disabled = true;
  button.textContent = 'Checking\u2026';
  try {
    const r = await fetch('/api/login', {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, cache: 'no-store',
      body: JSON.stringify({ user, password }),
    });
    const j = await r.json().catch(() => ({}));
    if (r.ok) {
      $('login-password').value = '';
      startApp({ user: j.user || user, location: j.location || '' });
    } else {
      error.textContent = (j && typeof j.error === 'string' && j.error) ||
        (r.status === 401 ? 'The log-in failed.' : `The server could not log you in (${r.status}).`);
      $('login-password').select();
      $('login-password').focus();
    }
  } catch {
    error.textContent = 'The server cannot be reached. Check the connection and try again.';
  } finally {
    button.disabled = false;
    button.textContent = 'Log in';
  }
}

async function boot() {
  menu = new MenuBar($('menubar'), { onCommand: (n) => act(actions.command(n)) });
  $('login-form').addEventListener('submit', logIn);
  $('logout').addEventListener('click', () => send({ t: 'logout' }));
  $('idle-close').addEventListener('click', () => { $('idle').hidden = true; });
  $('toast').addEventListener('click', () => { $('toast').hidden = true; });
  $('history-button').addEventListener('click', () => {
    const h = $('history');
    h.hidden = !h.hidden;
    $('history-button').setAttribute('aria-expanded', String(!h.hidden));
    if (!h.hidden) h.scrollTop = h.scrollHeight;
  });
  $('tabs').addEventListener('keydown', (ev) => {
    if (ev.key !== 'ArrowLeft' && ev.key !== 'ArrowRight') return;
    const tabs = [...$('tabs').querySelectorAll('[role=tab]')];
    const at = tabs.indexOf(document.activeElement);
    if (at < 0) return;
    ev.preventDefault();
    tabs[(at + (ev.key === 'ArrowRight' ? 1 : tabs.length - 1)) % tabs.length].focus();
  });
  document.addEventListener('keydown', onKey);
  window.addEventListener('beforeunload', (ev) => {
    if (S.screen && !$('app').hidden && (S.screen.windows || []).some((w) => w.changed)) {
      ev.preventDefault();
      ev.returnValue = '';
    }
  });
  try {
    const r = await fetch('/api/session', { cache: 'no-store' });
    if (r.ok) {
      startApp(await r.json().catch(() => ({})));
      return;
    }
  } catch {
    showLogin('The server cannot be reached. Check the connection and reload the page.');
    return;
  }
  showLogin('');
}

boot();
