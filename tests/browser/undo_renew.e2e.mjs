// The administrator takes a receipt back and renews a subscription.
//
// Undo: line 3 of PO-2026-0001 is received from the PO window, then
// Purchase Orders > Undo Receipt on the same line, confirmed; the line's
// received count goes back to 0 and the PO's totals are as before.
//
// Renewal: Subscriptions > Renewal Candidates asks for the options (the
// vendor picked with the finder, January 2027, fiscal year 2027), lists
// PO 4's subscriptions due then, renews "Digital Preservation Review" with
// SERIAL.2026 renewed to SERIAL.2027, and lists the renewed title once the
// candidates close. The test runner then checks the rows.
import {
  answer, cells, check, choose, finish, logIn, newPage, openPo, press, rows, selectRow, settle,
  shot, step, type, until, waitWindow, win,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

const title = 'Rivers of the Midwest';
// The counts shown for line 3: Appr, Ord, Rcvd (cells 9 to 11, mark column left out).
const counts = async (po) => (await cells(rows(po, title).first())).slice(9, 12).join('/');

let po;
let totals;
await step('open PO-2026-0001: line 3 approved and ordered, nothing received', async () => {
  po = await openPo(page, 'PO-2026-0001');
  check(await counts(po) === '2/2/0', `line 3 before: ${await counts(po)}`);
  totals = await po.locator('input[name="on_order"]').inputValue();
});

await step('receive line 3', async () => {
  await selectRow(po, title);
  await press(po, 'Receive');
  const receive = await waitWindow(page, 'Receive: PO PO-2026-0001 Line 3 (2 pending)');
  await press(receive, 'OK');
  await win(page, 'Receive: PO PO-2026-0001 Line 3 (2 pending)').waitFor({ state: 'detached' });
  await until(async () => (await counts(po)) === '2/2/2', 'line 3 shows both items received');
  await shot(page, 'received');
});

await step('Purchase Orders > Undo Receipt on line 3 asks first; Yes', async () => {
  await selectRow(po, title);
  await choose(page, 'Purchase Orders', 'Undo Receipt');
  await page.getByRole('alertdialog').getByText('OK to undo activity for selected line(s)?').waitFor();
  await shot(page, 'undo-question');
  await answer(page, 'Yes');
});

await step('line 3 shows as before the receipt', async () => {
  await until(async () => (await counts(po)) === '2/2/0', 'line 3 shows nothing received');
  const onOrder = await po.locator('input[name="on_order"]').inputValue();
  check(onOrder === totals, `on order ${onOrder}, was ${totals}`);
  await shot(page, 'undone');
});

let options;
await step('Renewal Candidates: the options, the vendor through the finder', async () => {
  await choose(page, 'Subscriptions', 'Renewal Candidates');
  options = await waitWindow(page, 'Renewal Options');
  await press(options, 'Vendor...');
  const finder = await waitWindow(page, 'Find Vendor');
  await selectRow(finder, 'Thames Periodicals');
  await press(finder, 'OK');
  await win(page, 'Find Vendor').waitFor({ state: 'detached' });
  check(await options.locator('input[name="vendor#"]').inputValue() === '4', 'vendor 4 chosen');
  await type(options, 'begin_date', '2027-01-01');
  await type(options, 'end_date', '2027-01-31');
  await type(options, 'renew_to_year', '2027');
  await shot(page, 'renewal-options');
});

let candidates;
await step('the candidates: both subscriptions of PO 4 due on 2027-01-01', async () => {
  await press(options, 'OK');
  candidates = await waitWindow(page, 'Renewal Candidates');
  const c = await cells(rows(candidates, 'Digital Preservation Review').first());
  check(c[0] === '4' && c[3] === '2027-01-01' && c[4] === '2' && c[7] === '190.00',
        `Digital Preservation Review: ${JSON.stringify(c)}`);
  await selectRow(candidates, 'Digital Preservation Review');
  await shot(page, 'candidates');
});

await step('Renew...: the renew-to lists propose SERIAL.2027; Renew', async () => {
  await press(candidates, 'Renew...');
  // The renew-to dialog, known by its contract button.
  const renewTo = page.locator('section.window:not([hidden])').filter({
    has: page.getByRole('button', { name: 'Set Contract', exact: true }),
  });
  await renewTo.waitFor();
  const budget = await cells(rows(renewTo, 'SERIAL.2026').first());
  check(budget[1] === 'SERIAL.2027', `renew to: ${JSON.stringify(budget)}`);
  await shot(page, 'renew-to');
  await renewTo.getByRole('button', { name: 'Renew', exact: true }).click();
  await settle(page);
  // The warning and the count follow each other at once: each box answered
  // is replaced by the next without the layer going away.
  await answer(page, 'OK', 'must be manually approved');
  await page.getByRole('alertdialog').getByText('1 PO line(s) renewed.').waitFor();
  await shot(page, 'renewed-message');
  await answer(page, 'OK', '1 PO line(s) renewed.');
  await rows(candidates, 'Digital Preservation Review').waitFor({ state: 'detached' });
});

await step('closing the candidates lists the renewed title for 2028', async () => {
  await press(candidates, 'Close');
  const renewed = await waitWindow(page, 'Renewed Titles');
  const row = rows(renewed, 'Digital Preservation Review').first();
  await row.waitFor();
  const text = (await cells(row)).join('|');
  check(text.includes('Thames Periodicals Ltd') && text.includes('2028-01-01'),
        `renewed title: ${text}`);
  await shot(page, 'renewed-titles');
});

await finish();
