// The page against a fake server: what it draws from screens, and what it
// sends for what a person does. Run: node tests/browser/page.test.mjs
// (exits 1 and names each failed case). Screenshots go to
// $ACQ_ARTIFACTS_DIR (default /tmp/acq-browser-artifacts).

import assert from 'node:assert/strict';
import { editor, launch, lister, openPage, opened, printDialog, screen, shot } from './lib/fake.mjs';

const cases = [];
const test = (name, fn) => cases.push({ name, fn });

// Opens the logged-in page showing `sc` and waits until it is drawn.
async function withScreen(browser, sc) {
  const t = await openPage(browser);
  t.fake.screen = sc;
  await t.page.goto('http://acq.test/');
  await t.page.locator('.window:not([hidden])').first().waitFor();
  return t;
}

test('log-in: the error of a failed log-in, Checking... while waiting, then the app', async (browser) => {
  let attempt = 0;
  let answer;
  const held = new Promise((res) => { answer = res; });
  const { page, fake } = await openPage(browser, {
    session: null,
    login: () => (++attempt === 1
      ? { status: 401, json: { error: 'Wrong password for "admin".' }, held }
      : { status: 200, json: { user: 'admin', location: 'MAIN' } }),
  });
  fake.screen = screen([]);
  await page.goto('http://acq.test/');
  await page.locator('#login-user').fill('admin');
  await page.locator('#login-password').fill('nope');
  await page.locator('#login-button').click();
  await page.locator('#login-button:disabled', { hasText: 'Checking' }).waitFor();
  answer();
  await page.locator('#login-error', { hasText: 'Wrong password for "admin".' }).waitFor();
  assert.equal(await page.locator('#login-button').isEnabled(), true);
  await shot(page, 'login-failed');
  await page.locator('#login-password').fill('admin');
  await page.keyboard.press('Enter');
  await page.locator('#app:not([hidden])').waitFor();
  await page.locator('#who', { hasText: 'admin' }).waitFor();
  assert.match(await page.locator('#who').textContent(), /MAIN/);
  assert.deepEqual(fake.logins, [{ user: 'admin', password: 'nope' }, { user: 'admin', password: 'admin' }]);
  const before = fake.sent.length;
  await page.locator('#logout').click();
  assert.deepEqual(await fake.waitSent(before + 1), { t: 'logout' });
  fake.send({ t: 'ended', text: 'You have logged out.' });
  await page.locator('#login-info', { hasText: 'You have logged out.' }).waitFor();
});

test('menu: key letters, keys, a disabled item that does nothing, keyboard use', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(3, [])]));
  const file = page.getByRole('menuitem', { name: 'File' });
  await file.click();
  const save = page.getByRole('menuitem', { name: /Save/ });
  assert.equal(await save.getAttribute('aria-disabled'), 'true');
  assert.match(await save.textContent(), /Ctrl\+S/);
  assert.equal(await page.locator('.menu-top u.key').first().textContent(), 'F');
  await save.click({ force: true });
  await page.keyboard.press('Escape');
  const from = fake.sent.length;
  // Alt+P opens Purchase Orders; Down passes over nothing disabled by
  // mistake: New PO, Cancel PO (disabled), Find PO.
  await page.keyboard.press('Alt+p');
  await page.getByRole('menu', { name: 'Purchase Orders' }).waitFor();
  await shot(page, 'menu-open');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Enter');
  await fake.waitSent(from + 1);
  assert.deepEqual(fake.sent.slice(from), [{ t: 'action', text: 'command 152' }],
                   'the disabled item sent nothing');
  assert.equal(await page.getByRole('menu').count(), 0);
});

test('lister: click, shift-click, ctrl-click and double-click select and open', async (browser) => {
  const rows = [['PO-1', 'Northfield', '$1.00'], ['PO-2', 'Book Wholesale', '$2.00'],
                ['PO-3', 'Northfield', '$3.00'], ['PO-4', 'O\'Brien', '$4.00']];
  const { page, fake } = await withScreen(browser, screen([lister(7, rows)]));
  const row = (n) => page.locator('table.list tbody tr').nth(n - 1);
  const from = fake.sent.length;
  await row(2).click();
  await fake.waitSent(from + 1);
  await row(4).click({ modifiers: ['Shift'] });
  await fake.waitSent(from + 2);
  await row(3).click({ modifiers: ['Control'] });
  await fake.waitSent(from + 3);
  assert.equal(await row(3).getAttribute('aria-selected'), 'false');
  assert.equal(await row(4).getAttribute('aria-selected'), 'true');
  await row(1).dblclick();
  await fake.waitSent(from + 5);
  assert.deepEqual(fake.actionsSince(from), [
    'select 2 @7', 'select 2 3 4 @7', 'select 2 4 @7', 'select 1 @7', 'key "Enter" @7']);
  // The arrow keys move the selection in the focused list.
  await page.keyboard.press('ArrowDown');
  assert.equal(await fake.waitSent(from + 6).then((m) => m.text), 'select 2');
});

test('lister: headings sort and the search row searches', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(7, [['PO-1', 'Northfield', '$1.00']])]));
  const from = fake.sent.length;
  const heading = page.locator('th button.sort', { hasText: 'PO Number' });
  await heading.click();
  await fake.waitSent(from + 1);
  await heading.click();
  await fake.waitSent(from + 2);
  assert.equal(await page.locator('th[aria-sort="descending"]').textContent(), 'PO Number \u25BC');
  await page.getByLabel('Search Vendor').fill('Nor"th \\ "');
  await page.getByLabel('Search Vendor').press('Enter');
  await fake.waitSent(from + 3);
  assert.deepEqual(fake.actionsSince(from), [
    'sort "PO Number" asc @7', 'sort "PO Number" desc @7', 'search "Vendor" "Nor\\"th \\\\ \\"" @7']);
  assert.equal(await page.getByLabel('Search Total').count(), 0, 'a column the list cannot search');
  await shot(page, 'lister');
});

test('fields: quoting on commit, Enter commits then presses, read-only, check box', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([editor(9)]));
  const from = fake.sent.length;
  const title = page.getByLabel('Title of the Work', { exact: true });   // its column's heading
  await title.fill('Say "hi" \\ there\tnow');
  await title.press('Tab');
  await fake.waitSent(from + 1);
  const note = page.getByLabel('Internal note');
  assert.equal(await note.evaluate((e) => e.tagName), 'TEXTAREA');
  await note.press('End');
  await note.press('Shift+Enter');
  await note.pressSequentially('third');
  await note.evaluate((e) => e.blur());
  await fake.waitSent(from + 2);
  const price = page.getByLabel('Unit price:');
  await price.fill('31.50');
  await price.press('Enter');
  await fake.waitSent(from + 4);
  // A read-only field takes no typing and sends nothing.
  const po = page.getByLabel('PO number');
  assert.equal(await po.evaluate((e) => e.readOnly), true);
  await po.click();
  await page.keyboard.type('XYZ');
  assert.equal(await po.inputValue(), 'PO-1');
  await page.getByLabel('Attach barcode').check();
  await fake.waitSent(from + 5);
  assert.deepEqual(fake.actionsSince(from), [
    'field title "Say \\"hi\\" \\\\ there\\tnow" @9',
    'field internal_note "first\\nsecond\\nthird" @9',
    'field unit_price "31.50" @9',
    'key "Enter" @9',
    'field attach_barcode yes @9',
  ]);
  assert.equal(await page.getByRole('button', { name: 'Delete Item' }).isDisabled(), true);
  assert.match(await page.getByRole('button', { name: 'OK' }).getAttribute('class'), /default/);
  await shot(page, 'editor');
});

test('grid: double-click a cell of the selected row to type into it', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([editor(9)]));
  const from = fake.sent.length;
  await page.locator('table.list tbody tr').first().locator('td').nth(3).dblclick();
  const cell = page.locator('input.cell-input');
  await cell.fill('ADULT.2026');
  await cell.press('Enter');
  await fake.waitSent(from + 1);
  assert.deepEqual(fake.actionsSince(from), ['field "Budget" "ADULT.2026" @9']);
});

test('focus: kept in place, brought back by name after a redraw, moved by the frame', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([editor(9)]));
  fake.auto = false;
  await page.getByLabel('Title').click();
  await page.getByLabel('Title').press('End');
  await page.getByLabel('Title').pressSequentially('abc');
  // A screen with new values: what is being typed stays, the focus too.
  const changed = editor(9, { changed: true });
  changed.items[2].text = '$30.00';
  fake.showScreen(screen([changed]));
  await page.locator('.badge.changed:not([hidden])').waitFor();
  assert.equal(await page.getByLabel('Unit price:').inputValue(), '$30.00');
  assert.equal(await page.getByLabel('Title').inputValue(), 'The Orchard Yearabc');
  // A screen whose items changed is drawn anew: the focus goes back by name.
  const redrawn = editor(9);
  redrawn.items.splice(1, 0, { k: 'label', id: 1200, name: '', text: 'Changed at another workstation' });
  fake.showScreen(screen([redrawn]));
  await page.locator('.note', { hasText: 'another workstation' }).waitFor();
  assert.equal(await page.evaluate(() => document.activeElement.name), 'title');
  // Leaving the redrawn form sent the typed title; the frame answers it
  // after asking for the focus.
  fake.send({ t: 'notice', kind: 'focus', text: 'unit_price' });
  fake.send(fake.screen);
  await page.waitForFunction(() => document.activeElement.name === 'unit_price');
  assert.equal(await page.locator('.tab .dot').count(), 0);
});

test('asks: message box answers, credentials, text shown as text', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(3, [])]));
  const from = fake.sent.length;
  fake.send({ t: 'ask', id: 1, kind: 'message', caption: 'Save',
              text: 'Save changes to <script>window.hacked=1</script>?\nSecond line',
              buttons: ['yes', 'no', 'cancel'], icon: 'question' });
  const dialog = page.getByRole('alertdialog');
  await dialog.waitFor();
  assert.match(await dialog.locator('.message-text').textContent(), /<script>window.hacked=1<\/script>/);
  assert.equal(await page.evaluate(() => document.activeElement.dataset.answer), 'yes');
  assert.equal(await page.evaluate(() => document.getElementById('app').inert), true);
  await shot(page, 'ask-message');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('Enter');
  await fake.waitSent(from + 1);
  fake.send({ t: 'ask', id: 2, kind: 'message', caption: 'Delete', text: 'Delete 2 records?',
              buttons: ['yes', 'no', 'cancel'], icon: 'warning' });
  await page.getByRole('alertdialog', { name: 'Delete' }).waitFor();
  await page.keyboard.press('Escape');
  await fake.waitSent(from + 2);
  fake.send({ t: 'ask', id: 3, kind: 'credentials', reason: 'Authorise: poEdit' });
  await page.getByRole('dialog', { name: 'Authorisation needed' }).waitFor();
  const creds = page.getByRole('dialog');
  await creds.getByLabel('User name').fill('admin');
  await creds.getByLabel('Password').fill('s"cret');
  await shot(page, 'ask-credentials');
  await creds.getByLabel('Password').press('Enter');
  await fake.waitSent(from + 3);
  fake.send({ t: 'ask', id: 4, kind: 'credentials', reason: 'Authorise: poHead' });
  await page.getByRole('button', { name: 'Cancel' }).click();
  await fake.waitSent(from + 4);
  fake.send({ t: 'ask', id: 5, kind: 'text', prompt: 'Password for the file', initial: 'old', secret: true });
  const secret = page.getByRole('dialog').getByLabel('Password for the file');
  assert.equal(await secret.getAttribute('type'), 'password');
  await page.keyboard.type('new');   // the initial text starts selected
  await page.keyboard.press('Enter');
  await fake.waitSent(from + 5);
  // A choice: the offered option checked first; arrows move; Enter answers its number.
  fake.send({ t: 'ask', id: 6, kind: 'choice', prompt: 'Printer',
              options: ['front-desk', 'PDF file', '<b>x</b>'], initial: 1 });
  const choice = page.getByRole('dialog', { name: 'Printer' });
  await choice.waitFor();
  assert.equal(await choice.getByLabel('PDF file').isChecked(), true);
  await choice.getByLabel('<b>x</b>').waitFor();
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('Enter');
  await fake.waitSent(from + 6);
  assert.deepEqual(fake.sent.slice(from, from + 6), [
    { t: 'answer', id: 1, button: 'no' },
    { t: 'answer', id: 2, button: 'cancel' },
    { t: 'answer', id: 3, user: 'admin', password: 's"cret' },
    { t: 'answer', id: 4, cancel: true },
    { t: 'answer', id: 5, text: 'new' },
    { t: 'answer', id: 6, choice: 0 },
  ]);
  assert.equal(await page.evaluate(() => window.hacked), undefined);
});

test('file ask: uploads the chosen file with its name, then waits for the frame', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(3, [])]));
  fake.auto = false;
  fake.send({ t: 'ask', id: 5, kind: 'file', prompt: 'The interchange to read', initial: 'in.edi' });
  await page.getByRole('dialog').getByLabel('File').setInputFiles({ name: 'orders.edi', mimeType: 'text/plain',
                                                buffer: Buffer.from("UNA:+.? 'UNB+UNOC'") });
  await page.getByRole('button', { name: 'Upload' }).click();
  await page.locator('.dialog', { hasText: 'orders.edi uploaded' }).waitFor();
  assert.equal(fake.uploads.length, 1);
  assert.match(fake.uploads[0].url, /\/api\/upload\?ask=5$/);
  assert.equal(fake.uploads[0].name, 'orders.edi');
  assert.equal(fake.uploads[0].body, "UNA:+.? 'UNB+UNOC'");
  fake.showScreen(screen([lister(3, [])]));
  await page.getByRole('dialog').waitFor({ state: 'detached' });
});

test('untrusted texts are shown as text everywhere', async (browser) => {
  const evil = '<img src=x id=evil><script>window.hacked=1</script>';
  const w = lister(4, [[evil, 'a', 'b']], { window: { caption: evil } });
  w.headings = [evil, 'Vendor', 'Total'];
  const { page, fake } = await withScreen(browser, screen([w]));
  fake.send({ t: 'notice', kind: 'error', text: evil });
  fake.send({ t: 'file', name: `${evil}.pdf`, url: '/files/abc' });
  await page.locator('#toast:not([hidden])').waitFor();
  assert.equal(await page.locator('#evil').count(), 0);
  assert.equal(await page.locator('.window-title').textContent(), evil);
  assert.equal(await page.locator('table.list tbody td').nth(1).textContent(), evil);
  assert.equal(await page.evaluate(() => window.hacked), undefined);
  assert.match(await page.locator('#status-text').textContent(), /\.pdf is ready/);
});

test('windows: tabs show and close, a modal window shuts out the rest', async (browser) => {
  const a = lister(3, [['PO-1', 'x', 'y']]);
  const b = editor(9, { changed: true });
  const { page, fake } = await withScreen(browser, screen([a, b]));
  assert.equal(await page.locator('.tab .dot').count(), 1);
  const from = fake.sent.length;
  await page.getByRole('tab', { name: /Find PO/ }).click();
  await fake.waitSent(from + 1);
  await page.getByRole('button', { name: /Close Edit: PO PO-1 Line 1/ }).click();
  await fake.waitSent(from + 2);
  assert.deepEqual(fake.actionsSince(from), ['show @3', 'key "Escape" @9']);
  // The line editor waits for a quantity: only it can be used.
  const ask = { id: 12, caption: 'Add Items', kind: 'dialog 1202', type: 'dialog', changed: false,
    items: [{ k: 'label', id: 1101, name: '', text: 'How many items?' },
            { k: 'field', id: 1001, name: 'quantity', text: '1', enabled: true },
            { k: 'button', id: 1, name: 'ok', text: 'OK', enabled: true, default: true },
            { k: 'button', id: 2, name: 'cancel', text: 'Cancel', enabled: true }],
    headings: [], rows: [], lists: [] };
  fake.showScreen(screen([a, b, ask], { current: 12, modal: 12 }));
  await page.getByRole('dialog', { name: 'Add Items' }).waitFor();
  await page.waitForFunction(() => document.activeElement.name === 'quantity');
  assert.equal(await page.evaluate(() => document.getElementById('app').inert), true);
  await shot(page, 'modal-window');
  const mark = fake.sent.length;
  await page.getByLabel('How many items?').fill('2');
  await page.keyboard.press('Escape');
  await fake.waitSent(mark + 2);
  assert.deepEqual(fake.actionsSince(mark), ['field quantity "2" @12', 'key "Escape" @12']);
});

test('one action at a time, in order; keys the frame knows', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(3, [['PO-1', 'x', 'y']])]));
  fake.auto = false;
  const from = fake.sent.length;
  await page.getByRole('button', { name: 'Search' }).click();
  await page.getByRole('button', { name: 'Open' }).click();
  await page.locator('#busy:not([hidden])').waitFor();
  await fake.waitSent(from + 1);
  await page.waitForTimeout(200);
  assert.equal(fake.sent.length, from + 1, 'the second waits for the first screen');
  fake.send(fake.screen);
  await fake.waitSent(from + 2);
  fake.send(fake.screen);
  await page.locator('#busy[hidden]').waitFor({ state: 'attached' });
  // Keys: Ctrl+F (the menu lists it) and F5 go to the window; Ctrl+Q not.
  await page.locator('table.list').focus();
  await page.keyboard.press('Control+q');
  await page.keyboard.press('Control+f');
  await fake.waitSent(from + 3);
  fake.send(fake.screen);
  await page.keyboard.press('F5');
  await fake.waitSent(from + 4);
  assert.deepEqual(fake.actionsSince(from), ['press 57636 @3', 'press 57601 @3', 'key "Ctrl+F" @3', 'key "F5" @3']);
});

test('status line: errors, progress, idle warning, refused', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(3, [])]));
  fake.send({ t: 'notice', kind: 'hourglass', text: 'on' });
  fake.send({ t: 'progress', text: 'Reading', done: 40, total: 100 });
  await page.locator('#progress-text', { hasText: 'Reading 40%' }).waitFor();
  assert.equal(await page.locator('#busy').isVisible(), true);
  fake.send({ t: 'progress', text: 'Reading', done: 0, total: 0 });
  fake.send({ t: 'notice', kind: 'hourglass', text: 'off' });
  fake.send({ t: 'notice', kind: 'error', text: 'There is no row 9 (4 rows)' });
  await page.locator('#status-text.kind-error', { hasText: 'no row 9' }).waitFor();
  await page.locator('#toast', { hasText: 'no row 9' }).waitFor();
  assert.equal(await page.locator('#progress').isVisible(), false);
  fake.send({ t: 'notice', kind: 'idle', text: 'You have been idle; the session ends in 60 seconds' });
  await page.locator('#idle:not([hidden])').waitFor();
  await shot(page, 'status-idle');
  fake.send({ t: 'refused', text: 'That window is closed.' });
  await page.locator('#status-text', { hasText: 'That window is closed.' }).waitFor();
});

test('a lost connection comes back; a session gone shows the log-in', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([lister(3, [['PO-1', 'x', 'y']])]));
  const first = fake.ws;
  await first.close();
  await page.locator('#status-text.kind-error', { hasText: 'reconnecting' }).waitFor();
  await page.waitForFunction(() => document.querySelector('#status-text').textContent === 'Connected.');
  assert.notEqual(fake.ws, first);
  const from = fake.sent.length;
  await page.getByRole('button', { name: 'Search' }).click();
  assert.deepEqual(await fake.waitSent(from + 1), { t: 'action', text: 'press 57636', window: 3 });
  fake.session = null;
  await fake.ws.close();
  await page.locator('#login-info', { hasText: 'The session has ended' }).waitFor();
});

test('a long list is drawn once; a new selection reuses its rows', async (browser) => {
  const rows = Array.from({ length: 3000 }, (_, i) => [`PO-${i + 1}`, `Vendor ${i % 17}`, `$${i}.00`]);
  const { page, fake } = await withScreen(browser, screen([lister(3, rows)]));
  await page.locator('table.list tbody tr').nth(2999).waitFor({ state: 'attached' });
  await page.evaluate(() => { document.querySelectorAll('table.list tbody tr')[1500].dataset.probe = 'kept'; });
  const next = lister(3, rows, { rowProps: { 1500: { selected: true } } });
  fake.showScreen(screen([next]));
  await page.locator('tr[aria-selected="true"]').waitFor({ state: 'attached' });
  assert.equal(await page.locator('tr[aria-selected="true"]').getAttribute('data-probe'), 'kept');
  const marks = lister(3, rows.slice(0, 3), { rowProps: { 0: { mark: 'deleted' }, 1: { mark: 'marked' } } });
  fake.showScreen(screen([marks]));
  await page.locator('tr.deleted').waitFor();
  assert.equal(await page.locator('tbody tr').count(), 3);
  assert.equal(await page.locator('tr.marked').count(), 1);
});

test('radio buttons: one choice per group, choosing one sends field NAME yes', async (browser) => {
  const { page, fake } = await withScreen(browser, screen([printDialog(5)]));
  const radio = (label) => page.getByRole('radio', { name: label, exact: true });
  const form = ['Negotiable Purchase Order', 'Draft Purchase Order', 'Cancellation Notice'];
  const paper = ['A4', 'Letter'];
  // Radio inputs, one group (one name) for each group of the frame's, the
  // frame's choice checked; a check box stays a check box.
  assert.equal(await page.getByRole('radio').count(), 5);
  assert.equal(await page.getByRole('checkbox', { name: 'Urgent' }).count(), 1);
  const names = async (labels) => new Set(await Promise.all(labels.map((l) => radio(l).getAttribute('name'))));
  const formNames = await names(form);
  const paperNames = await names(paper);
  assert.equal(formNames.size, 1);
  assert.equal(paperNames.size, 1);
  assert.notDeepEqual(formNames, paperNames);
  const checked = async () => Promise.all([...form, ...paper].map((l) => radio(l).isChecked()));
  assert.deepEqual(await checked(), [true, false, false, false, true]);
  assert.equal(await radio('Cancellation Notice').isDisabled(), true);

  // Choosing one sends it; the frame's answer checks it and clears the rest
  // of its group only.
  let from = fake.sent.length;
  await page.getByText('Draft Purchase Order').click();
  await fake.waitSent(from + 1);
  assert.deepEqual(fake.actionsSince(from), ['field draft yes @5']);
  await page.waitForFunction(() => document.querySelector('input[type=radio]:checked')
    ?.labels[0]?.textContent === 'Draft Purchase Order');
  assert.deepEqual(await checked(), [false, true, false, false, true]);
  await shot(page, 'radio-dialog');

  // The chosen one again, and the disabled one, send nothing; the arrow
  // keys move the choice within the group, as a browser's radios do.
  from = fake.sent.length;
  await radio('Draft Purchase Order').click();
  await radio('Cancellation Notice').click({ force: true });
  await radio('Letter').focus();
  await page.keyboard.press('ArrowUp');
  await fake.waitSent(from + 1);
  assert.deepEqual(fake.actionsSince(from), ['field a4 yes @5']);
  await page.waitForFunction(() => [...document.querySelectorAll('input[type=radio]:checked')]
    .some((r) => r.labels[0]?.textContent === 'A4'));
  assert.deepEqual(await checked(), [false, true, false, true, false]);
});

async function main() {
  const only = process.argv[2];
  const browser = await launch();
  const failed = [];
  for (const c of cases) {
    if (only && !c.name.includes(only)) continue;
    const first = opened.length;
    try {
      await c.fn(browser);
      // A refused inline style or script, or an exception, is a fault too.
      const errors = opened.slice(first).flatMap((o) => o.fake.consoleErrors)
        .filter((e) => !/^Failed to load resource: .* 401/.test(e));
      assert.deepEqual(errors, [], 'errors in the browser console');
      console.log(`ok   ${c.name}`);
    } catch (e) {
      failed.push(c.name);
      console.log(`FAIL ${c.name}\n     ${String(e.stack || e).split('\n').slice(0, 8).join('\n     ')}`);
    } finally {
      for (const o of opened.slice(first)) await o.context.close();
    }
  }
  await browser.close();
  if (failed.length) {
    console.log(`\n${failed.length} failed: ${failed.join('; ')}`);
    process.exit(1);
  }
  console.log('\nall passed');
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
