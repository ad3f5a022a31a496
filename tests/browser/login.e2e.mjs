// Log in as the administrator, find a PO from the menu and open it: the PO
// window shows its lines.
import { check, cells, finish, logIn, newPage, openPo, rows, shot, step } from './lib/e2e.mjs';

const page = await newPage('admin');

await step('the log-in page', async () => {
  await page.getByRole('button', { name: 'Log in', exact: true }).waitFor();
  await shot(page, 'login-page');
});

await step('log in as admin', () => logIn(page, 'admin', 'admin'));

let po;
await step('Purchase Orders > Find PO, search PO-2026-0001 and open it', async () => {
  po = await openPo(page, 'PO-2026-0001');
});

await step('the PO window shows its three lines', async () => {
  await rows(po).nth(2).waitFor();
  check((await rows(po).count()) === 3, `expected 3 lines, saw ${await rows(po).count()}`);
  const first = await cells(rows(po).first());
  check(first[1] === "The Lighthouse Keeper's Daughter", `line 1 is ${JSON.stringify(first)}`);
  check(await po.getByLabel('Vendor name', { exact: true }).inputValue() === 'Northfield Book Distributors',
        'the vendor is shown');
  await shot(page, 'po-window');
});

await finish();
