// What the end-to-end scenarios share: Chromium, log-in, the menu, windows,
// fields, buttons, questions, screenshots, the server's processes, and
// step(), which names each step and on a failure takes a screenshot of every
// open page and ends the run with status 1.
//
// The server is the one ACQ_URL names (`acq serve`); screenshots go to
// ACQ_ARTIFACTS_DIR. Every wait is on a condition, with a generous timeout.

import { mkdirSync, readFileSync, readdirSync, readlinkSync } from 'node:fs';
import { basename, join } from 'node:path';
import { chromium } from 'playwright-core';

export const baseUrl = process.env.ACQ_URL || 'http://127.0.0.1:8080/';
export const artifacts = process.env.ACQ_ARTIFACTS_DIR || '/tmp/acq-browser-artifacts';
export const timeoutMs = 30000;

// The scenario's name, from its file: "login" for login.e2e.mjs.
export const scenario = basename(process.argv[1] || 'scenario').replace(/\.e2e\.mjs$|\.mjs$/, '');

const pages = [];   // {page, label}: every page opened, for screenshots on failure
let browser = null;

// A hung scenario ends itself rather than the test run.
setTimeout(() => {
  console.error(`${scenario}: gave up after 200 s`);
  process.exit(1);
}, 200000).unref();

export async function launch() {
  browser = await chromium.launch({ executablePath: process.env.ACQ_CHROMIUM || '/usr/bin/chromium',
                                    args: ['--no-sandbox'] });
  return browser;
}

// A page in a context of its own (its own cookie: its own session).
export async function newPage(label = 'page') {
  if (!browser) await launch();
  const context = await browser.newContext({ viewport: { width: 1280, height: 860 } });
  const page = await context.newPage();
  page.setDefaultTimeout(timeoutMs);
  page.errors = [];
  page.on('pageerror', (e) => page.errors.push(String(e)));
  pages.push({ page, label });
  await page.goto(baseUrl);
  return page;
}

// ---- steps ------------------------------------------------------------------

// Runs one named step; a failure prints it, screenshots every page and exits 1.
export async function step(name, fn) {
  console.log(`step: ${name}`);
  try {
    return await fn();
  } catch (e) {
    console.error(`FAILED at step "${name}": ${e && e.stack ? e.stack : e}`);
    for (const { page, label } of pages) {
      if (page.isClosed()) continue;
      await shot(page, `FAILED-${label}`).catch(() => {});
      const status = await page.locator('#status-text').textContent({ timeout: 1000 }).catch(() => null);
      if (status) console.error(`  ${label} status line: ${status}`);
    }
    process.exit(1);
  }
}

// The end of a scenario: uncaught errors on a page fail it; the browser closes.
export async function finish() {
  const errors = pages.flatMap(({ page, label }) => page.errors.map((e) => `${label}: ${e}`));
  if (errors.length) {
    console.error(`errors thrown on the page:\n  ${errors.join('\n  ')}`);
    process.exit(1);
  }
  if (browser) await browser.close();
  console.log(`${scenario}: passed`);
  process.exit(0);
}

export function check(condition, message) {
  if (!condition) throw new Error(message);
}

// Screenshot `<scenario>-<name>.png` in the artifacts folder.
export async function shot(page, name) {
  mkdirSync(artifacts, { recursive: true });
  const file = join(artifacts, `${scenario}-${name}.png`);
  await page.screenshot({ path: file, fullPage: true });
  console.log(`  screenshot ${file}`);
  return file;
}

// ---- the page ------------------------------------------------------------------

// Until the page has no action waiting for the frame (a question may be open).
export async function settle(page) {
  await page.locator('body:not(.busy)').waitFor({ state: 'attached' });
}

export async function logIn(page, user, password) {
  await typeLogin(page, user, password);
  await page.locator('#app').waitFor({ state: 'visible' });
  await page.getByRole('menubar').getByRole('menuitem').first().waitFor();   // the first screen
  await settle(page);
}

// Types the log-in form and sends it, without waiting for the result.
export async function typeLogin(page, user, password) {
  await page.getByLabel('User name', { exact: true }).fill(user);
  await page.getByLabel('Password', { exact: true }).fill(password);
  await page.getByRole('button', { name: 'Log in', exact: true }).click();
}

function exactText(text) {
  return new RegExp(`^\\s*${text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}\\s*(\\.\\.\\.|\u2026)?\\s*$`);
}

// The menu bar's item `item` of popup `popup` ("Purchase Orders", "Find PO").
export async function menuItem(page, popup, item) {
  const bar = page.getByRole('menubar');
  const menu = page.getByRole('menu', { name: popup, exact: true });
  if (!(await menu.isVisible())) await bar.getByRole('menuitem', { name: popup, exact: true }).click();
  return menu.getByRole('menuitem').filter({ has: page.locator('.menu-label', { hasText: exactText(item) }) });
}

// Chooses a menu item and waits for the frame's answer.
export async function choose(page, popup, item) {
  await (await menuItem(page, popup, item)).click();
  await settle(page);
}

// The drawn window whose caption is `caption` (a modal one included).
export function win(page, caption) {
  return page.locator('section.window:not([hidden])').filter({
    has: page.getByRole('heading', { name: caption, exact: true }),
  });
}

export async function waitWindow(page, caption) {
  const w = win(page, caption);
  await w.waitFor({ state: 'visible' });
  return w;
}

// Captions of the windows the page knows, from its tabs.
export async function windowCaptions(page) {
  return page.locator('#tabs .tab-caption').allTextContents();
}

// Types `value` into a window's field (by its name, e.g. "po_number", else
// its label) and sends it as a person leaving the field does.
export async function type(scope, field, value) {
  let input = scope.locator(`input[name="${field}"], textarea[name="${field}"]`);
  if ((await input.count()) === 0) input = scope.getByLabel(field, { exact: true });
  await input.fill(value);
  await input.dispatchEvent('change');
  await settle(scope.page());
}

// Clicks the button of `scope` with text `text` ("Open", "Bdgt Split").
export async function press(scope, text) {
  await scope.getByRole('button', { name: text, exact: true }).click();
  await settle(scope.page());
}

// Searches a list window's column: its search box and Enter.
export async function search(scope, heading, value) {
  const box = scope.getByLabel(`Search ${heading}`, { exact: true });
  await box.fill(value);
  await box.press('Enter');
  await settle(scope.page());
}

// The rows of a window's first list that contain `text`.
export function rows(scope, text) {
  const all = scope.locator('table.list').first().locator('tbody tr');
  return text === undefined ? all : all.filter({ hasText: text });
}

// Clicks the (first) row containing `text` and waits for the frame.
export async function selectRow(scope, text) {
  await rows(scope, text).first().click();
  await scope.page().locator(`tbody tr.selected`, { hasText: text }).first().waitFor();
  await settle(scope.page());
}

// The cells of a row as shown, without the mark column.
export async function cells(row) {
  return (await row.locator('td').allTextContents()).slice(1);
}

// Types `value` into the cell under `heading` of row `index` (0-based) of a
// window's grid, as a person does: the row selected, a double-click on the
// cell, the value, Enter.
export async function typeCell(scope, index, heading, value) {
  const page = scope.page();
  const table = scope.locator('table.list').first();
  const headings = (await table.locator('thead tr').first().locator('th').allTextContents())
    .map((h) => h.replace(/[\u25B2\u25BC]/g, '').trim());
  const col = headings.indexOf(heading);
  if (col < 1) throw new Error(`no column "${heading}" in ${JSON.stringify(headings)}`);
  const row = table.locator('tbody tr').nth(index);
  if (!(await row.evaluate((tr) => tr.classList.contains('selected')))) {
    await row.click();
    await settle(page);
  }
  await row.locator('td').nth(col).dblclick();
  const input = table.locator('input.cell-input');
  await input.fill(value);
  await input.press('Enter');
  await settle(page);
}

// The open question: a message box (alertdialog) or a form (dialog).
export function question(page) {
  return page.locator('.layer-ask [role="alertdialog"], .layer-ask [role="dialog"]');
}

// Answers a message box whose text contains `text` with `button` ("Yes").
// Answered means that box is gone: either no box is left, or the next one
// (a program may ask again at once) shows another text.
export async function answer(page, button, text) {
  const boxes = page.getByRole('alertdialog');
  await boxes.first().waitFor();
  if (text) await boxes.getByText(text, { exact: false }).first().waitFor();
  const before = await boxes.first().innerText();
  await boxes.first().getByRole('button', { name: button, exact: true }).click();
  await until(async () => (await boxes.count()) === 0 ||
                          (await boxes.first().innerText().catch(() => '')) !== before,
              `the box "${text || before}" answered`);
  await settle(page);
}

// Answers a security prompt with `user` and `password`, or cancels it (user null).
export async function credentials(page, user, password) {
  const box = page.getByRole('dialog', { name: 'Authorisation needed' });
  await box.waitFor();
  if (user === null) {
    await box.getByRole('button', { name: 'Cancel', exact: true }).click();
  } else {
    await box.getByLabel('User name', { exact: true }).fill(user);
    await box.getByLabel('Password', { exact: true }).fill(password);
    await box.getByRole('button', { name: 'OK', exact: true }).click();
  }
  await box.waitFor({ state: 'detached' });
  await settle(page);
}

// Closes a window as its tab's ×, waiting for the frame.
export async function closeWindow(page, caption) {
  await page.getByRole('button', { name: `Close ${caption}`, exact: true }).click();
  await settle(page);
}

// The Find PO window with PO `number` found and opened in its window
// (Edit mode); returns the PO window.
export async function openPo(page, number, { authorise } = {}) {
  await choose(page, 'Purchase Orders', 'Find PO');
  const find = await waitWindow(page, 'Find PO');
  await search(find, 'PO Number', number);
  await selectRow(find, number);
  await press(find, 'Open');
  if (authorise) await credentials(page, ...authorise);
  const mode = await waitWindow(page, 'PO Mode Selection');
  await press(mode, 'Edit');
  return waitWindow(page, `PO ${number}`);
}

// ---- the server's processes ------------------------------------------------

function readText(path) {
  try {
    return readFileSync(path, 'utf8');
  } catch {
    return '';
  }
}

// The pid of the process listening on ACQ_URL's port (the server), via the
// socket's inode in /proc/net/tcp and the processes' open files.
export function serverPid() {
  const port = Number(new URL(baseUrl).port || 80);
  const hex = port.toString(16).toUpperCase().padStart(4, '0');
  const inodes = new Set();
  for (const table of ['/proc/net/tcp', '/proc/net/tcp6']) {
    for (const line of readText(table).split('\n').slice(1)) {
      const f = line.trim().split(/\s+/);
      if (f.length > 9 && f[1].endsWith(`:${hex}`) && f[3] === '0A') inodes.add(f[9]);
    }
  }
  for (const pid of readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    let fds = [];
    try {
      fds = readdirSync(`/proc/${pid}/fd`);
    } catch {
      continue;
    }
    for (const fd of fds) {
      let target = '';
      try {
        target = readlinkSync(`/proc/${pid}/fd/${fd}`);
      } catch {
        continue;
      }
      const m = /^socket:\[(\d+)\]$/.exec(target);
      if (m && inodes.has(m[1])) return Number(pid);
    }
  }
  throw new Error(`no process listens on port ${port}`);
}

// The server's child processes (one frame per session), oldest first.
export function sessionPids(server = serverPid()) {
  const kids = [];
  for (const pid of readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    const stat = readText(`/proc/${pid}/stat`);
    const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    // f[1] is the parent, f[19] the start time (field 22 of stat)
    if (f.length > 19 && Number(f[1]) === server) kids.push({ pid: Number(pid), start: Number(f[19]) });
  }
  return kids.sort((a, b) => a.start - b.start || a.pid - b.pid).map((k) => k.pid);
}

// Resident memory of a process in KiB (VmRSS), 0 when it is gone.
export function rssKiB(pid) {
  const m = /^VmRSS:\s+(\d+)\s+kB/m.exec(readText(`/proc/${pid}/status`));
  return m ? Number(m[1]) : 0;
}

// Waits until `fn()` is true (polling), or throws `message`.
export async function until(fn, message, ms = timeoutMs) {
  const end = Date.now() + ms;
  for (;;) {
    if (await fn()) return;
    if (Date.now() > end) throw new Error(`timed out: ${message}`);
    await new Promise((r) => setTimeout(r, 100));
  }
}
