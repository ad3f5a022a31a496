// A fake server for the page: serves the page's real files from
// host/serve/www with the real server's security headers, answers /api/* as
// told, and plays the server's side of the WebSocket, recording every
// message the page sends. No real server or frame is involved.

import { readFileSync, mkdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
export const wwwDir = resolve(here, '../../../host/serve/www');
export const origin = 'http://acq.test';
export const artifacts = process.env.ACQ_ARTIFACTS_DIR || '/tmp/acq-browser-artifacts';

const types = { html: 'text/html; charset=utf-8', js: 'text/javascript; charset=utf-8',
                css: 'text/css; charset=utf-8', svg: 'image/svg+xml' };
const headers = {
  'Cache-Control': 'no-store',
  'X-Content-Type-Options': 'nosniff',
  'Content-Security-Policy': "default-src 'self'; connect-src 'self'; img-src 'self' data:; frame-ancestors 'none'",
};

// Every page opened, for the runner to check its console and close it.
export const opened = [];

export async function launch() {
  return chromium.launch({ executablePath: process.env.ACQ_CHROMIUM || '/usr/bin/chromium',
                           args: ['--no-sandbox'] });
}

// Opens the page in a new context. opts.session: the user logged in already
// ({user, location}) or null; opts.login(body) -> {status, json, held}; a `held` promise keeps the
// answer back until it settles, so a test can look at the page meanwhile.
export async function openPage(browser, opts = {}) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 820 } });
  context.setDefaultTimeout(5000);
  const page = await context.newPage();
  const fake = new FakeServer(page);
  opened.push({ context, fake });
  page.on('console', (m) => { if (m.type() === 'error') fake.consoleErrors.push(m.text()); });
  page.on('pageerror', (e) => fake.consoleErrors.push(String(e)));
  await page.route(`${origin}/**`, async (route) => {
    const req = route.request();
    const path = new URL(req.url()).pathname;
    if (path === '/api/session') {
      const s = fake.session;
      await route.fulfill({ status: s ? 200 : 401, headers, contentType: 'application/json',
                            body: JSON.stringify(s || {}) });
    } else if (path === '/api/login') {
      const body = JSON.parse(req.postData() || '{}');
      fake.logins.push(body);
      const r = opts.login ? opts.login(body) : { status: 200, json: { user: body.user, location: 'MAIN' } };
      if (r.held) await r.held;
      if (r.status === 200) fake.session = r.json;
      await route.fulfill({ status: r.status, headers, contentType: 'application/json',
                            body: JSON.stringify(r.json) });
    } else if (path === '/api/upload') {
      fake.uploads.push({ url: req.url(), name: req.headers()['x-file-name'],
                          body: req.postDataBuffer()?.toString() ?? '' });
      const r = fake.onUpload ? fake.onUpload() : { status: 200, json: {} };
      await route.fulfill({ status: r.status, headers, contentType: 'application/json',
                            body: JSON.stringify(r.json) });
    } else {
      const name = path === '/' ? 'index.html' : path.slice(1);
      let bytes;
      try {
        if (name.includes('/') || name.startsWith('.')) throw new Error('no');
        bytes = readFileSync(join(wwwDir, name));
      } catch {
        await route.fulfill({ status: 404, headers, body: 'not found' });
        return;
      }
      await route.fulfill({ status: 200, headers, body: bytes,
                            contentType: types[name.split('.').pop()] || 'application/octet-stream' });
    }
  });
  await page.routeWebSocket(`ws://acq.test/ws`, (ws) => fake.attach(ws));
  fake.session = opts.session === undefined ? { user: 'admin', location: 'MAIN' } : opts.session;
  return { context, page, fake };
}

export class FakeServer {
  constructor(page) {
    this.page = page;
    this.session = null;
    this.logins = [];
    this.uploads = [];
    this.sent = [];           // every message from the page, parsed
    this.consoleErrors = [];
    this.screen = null;       // what an action is answered with
    this.auto = true;         // answer each action and answer with this.screen
    this.ws = null;
    this.waiters = [];
  }

  attach(ws) {
    this.ws = ws;
    ws.onMessage((text) => {
      const m = JSON.parse(String(text));
      this.sent.push(m);
      for (const w of this.waiters.splice(0)) w();
      if (m.t === 'action' && this.screen) this.apply(m);
      if (this.auto && (m.t === 'action' || m.t === 'answer') && this.screen) this.send(this.screen);
    });
    this.send({ t: 'hello', user: this.session?.user || 'admin', location: this.session?.location || 'MAIN' });
    if (this.screen) this.send(this.screen);
  }

  send(m) { this.ws.send(JSON.stringify(m)); }

  // What the frame would do to the screen for a selection or a typed value,
  // so that the next screen agrees with what the page showed.
  apply(m) {
    const w = this.screen.windows.find((x) => x.id === (m.window ?? this.screen.current));
    if (!w) return;
    const sel = /^select (.*)$/.exec(m.text);
    if (sel) {
      const rows = sel[1] === 'none' ? [] : sel[1].split(' ').map(Number);
      w.rows.forEach((r, i) => { r.selected = rows.includes(i + 1); });
    }
    const field = /^field (\S+) (yes|no)$/.exec(m.text);
    const item = field && w.items.find((i) => i.name === field[1]);
    if (item) item.text = field[2] === 'yes' ? 'Yes' : 'No';
    // Choosing a radio button clears the others of its group.
    if (item && item.k === 'radio' && field[2] === 'yes') {
      w.items.filter((i) => i.k === 'radio' && i.group === item.group && i !== item)
        .forEach((i) => { i.text = 'No'; });
    }
  }

  showScreen(screen) {
    this.screen = screen;
    this.send(screen);
  }

  // Waits until the page has sent `count` messages in all (default: one more).
  async waitSent(count = this.sent.length + 1, timeoutMs = 5000) {
    const end = Date.now() + timeoutMs;
    while (this.sent.length < count) {
      if (Date.now() > end) throw new Error(`waited for ${count} messages, got ${JSON.stringify(this.sent)}`);
      await new Promise((res) => { this.waiters.push(res); setTimeout(res, 100); });
    }
    return this.sent[count - 1];
  }

  // The actions' texts (and windows) sent since `from`.
  actionsSince(from) {
    return this.sent.slice(from).filter((m) => m.t === 'action')
      .map((m) => (m.window === undefined ? m.text : `${m.text} @${m.window}`));
  }
}

export function shot(page, name) {
  mkdirSync(artifacts, { recursive: true });
  return page.screenshot({ path: join(artifacts, `${name}.png`) });
}

// ---- screens for the tests ---------------------------------------------------

export const menu = [
  { text: '&File', items: [
    { text: '&Save', command: 57603, enabled: false, keys: 'Ctrl+S' },
    { separator: true },
    { text: 'E&xit', command: 57665, enabled: true, keys: '' },
  ] },
  { text: '&Purchase Orders', items: [
    { text: '&New PO...', command: 151, enabled: true, keys: '' },
    { text: 'Cancel PO', command: 161, enabled: false, keys: '' },
    { text: '&Find PO', command: 152, enabled: true, keys: '' },
  ] },
  { text: '&Record', items: [
    { text: '&Search List...', command: 42102, enabled: true, keys: 'Ctrl+F' },
    { text: 'Pre&vious Record', command: 42012, enabled: true, keys: 'Ctrl+PageUp' },
  ] },
];

export function lister(id, rows, extra = {}) {
  return {
    id, caption: 'Find PO', kind: 'lister po_find_head', type: 'lister', changed: false,
    items: [
      { k: 'button', id: 57601, name: 'open', text: '&Open', enabled: true, default: true },
      { k: 'button', id: 57636, name: 'search', text: '&Search', enabled: true, default: false },
      { k: 'button', id: 2, name: 'cancel', text: 'Close', enabled: true, default: false },
    ],
    headings: ['PO Number', 'Vendor', 'Total'],
    searchable: [true, true, false],
    rows: rows.map((cells, i) => ({ cells, selected: false, mark: '', ...(extra.rowProps?.[i] || {}) })),
    lists: [],
    ...extra.window,
  };
}

export function editor(id, extra = {}) {
  return {
    id, caption: 'Edit: PO PO-1 Line 1', kind: 'editor po_line', type: 'editor', changed: false,
    items: [
      { k: 'field', id: 1001, name: 'title', label: 'Title of the Work', text: 'The Orchard Year',
        enabled: true, default: false },
      { k: 'label', id: 1101, name: '', text: 'Unit price:', enabled: true, default: false },
      { k: 'field', id: 1009, name: 'unit_price', text: '30.00', enabled: true, default: false },
      { k: 'field', id: 1020, name: 'po_number', text: 'PO-1', enabled: false, default: false },
      { k: 'field', id: 1018, name: 'internal_note', text: 'first\nsecond', enabled: true, default: false },
      { k: 'check', id: 1011, name: 'attach_barcode', text: 'No', enabled: true, default: false },
      { k: 'button', id: 1501, name: 'add_items', text: '&Add Items', enabled: true, default: false },
      { k: 'button', id: 1502, name: 'delete_item', text: '&Delete Item', enabled: false, default: false },
      { k: 'button', id: 1, name: 'ok', text: 'OK', enabled: true, default: true },
      { k: 'button', id: 2, name: 'cancel', text: 'Cancel', enabled: true, default: false },
    ],
    headings: ['Collection', 'Item Type', 'Budget'],
    rows: [{ cells: ['ADULT', 'BOOK', ''], selected: true, mark: '' },
           { cells: ['ADULT', 'BOOK', ''], selected: false, mark: '' }],
    lists: [],
    ...extra,
  };
}

// The printing dialog: a check box, a group of three forms (the last one
// disabled) and a group of two papers, as the frame describes them.
export function printDialog(id) {
  const radio = (rid, name, label, text, group, enabled = true) =>
    ({ k: 'radio', id: rid, name, label, text, group, enabled, default: false });
  return {
    id, caption: 'Print PO(s)', kind: 'dialog 21', type: 'dialog', changed: false,
    items: [
      { k: 'check', id: 2100, name: 'urgent', label: 'Urgent', text: 'No', enabled: true, default: false },
      radio(2101, 'negotiable', 'Negotiable Purchase Order', 'Yes', 2101),
      radio(2102, 'draft', 'Draft Purchase Order', 'No', 2101),
      radio(2103, 'cancellation', 'Cancellation Notice', 'No', 2101, false),
      radio(2111, 'a4', 'A4', 'No', 2111),
      radio(2112, 'letter', 'Letter', 'Yes', 2111),
      { k: 'button', id: 1, name: 'ok', text: 'OK', enabled: true, default: true },
      { k: 'button', id: 2, name: 'cancel', text: 'Cancel', enabled: true, default: false },
    ],
    headings: [], searchable: [], rows: [], lists: [],
  };
}

export function screen(windows, extra = {}) {
  const w = windows;
  return { t: 'screen', current: w.length ? w[w.length - 1].id : null, modal: null,
           windows: w, menu, ...extra };
}
