// Raise a PO for a vendor, give it a line of two copies paid 70/30 from two
// budgets, save it and approve it: the PO window shows the line approved.
import {
  cells, check, choose, finish, logIn, newPage, press, rows, search, selectRow, shot, step, type,
  typeCell, waitWindow, win,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

await step('Purchase Orders > New PO: the vendor Northfield', async () => {
  await choose(page, 'Purchase Orders', 'New PO');
  const vendors = await waitWindow(page, 'Find Vendor');
  await search(vendors, 'Name', 'Northfield');
  await selectRow(vendors, 'Northfield');
  await press(vendors, 'OK');
});

let po;
await step('the header: its number, OK opens the PO window', async () => {
  const header = await waitWindow(page, 'Header: New PO');
  check(await header.locator('input[name="location"]').inputValue() === 'MAIN', 'the location is MAIN');
  await type(header, 'po_number', 'PO-2026-0201');
  await press(header, 'OK');
  po = await waitWindow(page, 'PO PO-2026-0201');
});

let line;
await step('a new line: title, price and two copies', async () => {
  await press(po, 'New Line');
  line = await waitWindow(page, 'Edit: PO PO-2026-0201 Line (new)');
  await type(line, 'title', 'Prairie Skies');
  await type(line, 'unit_price', '40.00');
  await press(line, 'Add Items');
  const add = await waitWindow(page, 'Add Items');
  await type(add, 'quantity', '2');
  await press(add, 'OK');
  await win(page, 'Add Items').waitFor({ state: 'detached' });
  await rows(line).first().waitFor();
});

await step('the items paid 70 % from ADULT.2026 and 30 % from REF.2026', async () => {
  await selectRow(line, 'MAIN');
  await press(line, 'Bdgt Split');
  const split = await waitWindow(page, 'Bdgt Split');
  await typeCell(split, 0, 'Budget', 'ADULT.2026');
  await typeCell(split, 0, 'Percent', '70');
  await press(split, 'Add Row');
  await rows(split).nth(1).waitFor();
  await typeCell(split, 1, 'Budget', 'REF.2026');
  await typeCell(split, 1, 'Percent', '30');
  await shot(page, 'budget-split');
  await press(split, 'OK');
  await win(page, 'Bdgt Split').waitFor({ state: 'detached' });
  await rows(line, 'ADULT.2026 70% + REF.2026 30%').waitFor();
  await shot(page, 'line-editor');
});

await step('OK saves the line: the PO window shows it, not approved', async () => {
  await press(line, 'OK');
  await win(page, 'Edit: PO PO-2026-0201 Line 1').waitFor({ state: 'detached' });
  await rows(po, 'Prairie Skies').waitFor();
  const c = await cells(rows(po, 'Prairie Skies'));
  check(c[3] === '$40.00' && c[4] === '2' && c[9] === '0', `the new line: ${JSON.stringify(c)}`);
  check(await po.getByLabel('On order', { exact: true }).inputValue() === '$80.00', 'on order $80.00');
});

await step('Approve: both items approved', async () => {
  await selectRow(po, 'Prairie Skies');
  await press(po, 'Approve');
  await rows(po).filter({ has: page.locator('td:nth-child(11)', { hasText: /^2$/ }) }).waitFor();
  const c = await cells(rows(po, 'Prairie Skies'));
  check(c[9] === '2', `Appr shows ${c[9]}`);
  await shot(page, 'po-window-approved');
});

await finish();
