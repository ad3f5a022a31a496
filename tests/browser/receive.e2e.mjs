// The viewer receives a line whose items are invoiced on an approved
// statement: the clerk authorises opening the PO and receiving, the receipt
// would pass REF.2026's spent limit, the viewer says Yes and the
// administrator authorises the override. The line shows both items received.
import {
  answer, cells, check, credentials, finish, logIn, newPage, openPo, press, question, rows,
  selectRow, shot, step, waitWindow, win,
} from './lib/e2e.mjs';

const page = await newPage('viewer');
await step('log in as viewer', () => logIn(page, 'viewer', 'viewer'));

let po;
await step('open PO-2026-0001, authorised by the clerk', async () => {
  po = await openPo(page, 'PO-2026-0001', { authorise: ['clerk', 'clerk'] });
});

let receive;
await step('Receive on line 3 asks for another user: the clerk', async () => {
  await selectRow(po, 'Rivers of the Midwest');
  await po.getByRole('button', { name: 'Receive', exact: true }).click();
  const box = page.getByRole('dialog', { name: 'Authorisation needed' });
  await box.waitFor();
  await shot(page, 'security-prompt');
  await credentials(page, 'clerk', 'clerk');
  receive = await waitWindow(page, 'Receive: PO PO-2026-0001 Line 3 (2 pending)');
  check(await receive.locator('input[name="entry_quantity"]').inputValue() === '2', 'quantity 2');
});

await step('OK: the spent limit of REF.2026 is asked about; Yes', async () => {
  await press(receive, 'OK');
  const box = page.getByRole('alertdialog');
  await box.getByText('This action will exceed the spent limit for budget REF.2026 by $10.80.').waitFor();
  await shot(page, 'budget-limit-prompt');
  await answer(page, 'Yes');
});

await step('the override is authorised by the administrator', async () => {
  await question(page).waitFor();
  await credentials(page, 'admin', 'admin');
  await win(page, 'Receive: PO PO-2026-0001 Line 3 (2 pending)').waitFor({ state: 'detached' });
});

await step('the PO window shows line 3 received and spent', async () => {
  await rows(po, 'Rivers of the Midwest').filter({ hasText: '$77.00' }).waitFor();
  await page.waitForFunction(() => {
    const tr = [...document.querySelectorAll('section.window:not([hidden]) tbody tr')]
      .find((r) => r.textContent.includes('Rivers of the Midwest'));
    return tr && tr.children[12].textContent === '2';
  });
  const c = await cells(rows(po, 'Rivers of the Midwest'));
  check(c[11] === '2' && c[8] === '$77.00', `line 3: ${JSON.stringify(c)}`);
  check(await po.getByLabel('Spent', { exact: true }).inputValue() === '$77.00', 'the PO spent $77.00');
  await shot(page, 'received');
});

await finish();
