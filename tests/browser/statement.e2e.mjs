// The administrator approves the demo's open statement (Northfield Books,
// NF-88123: one received line and a shipping charge on OPS.2026) from the
// list of statements to approve, opens it to see that it balances,
// and finds it waiting in the voucher list as a new voucher. The test
// runner then checks the approval date and the budgets' spent money.
import {
  check, choose, finish, logIn, newPage, press, rows, search, settle, shot, step, waitWindow,
  windowCaptions,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

let list;
await step('open the statements to approve', async () => {
  await choose(page, 'Statements', 'Statements to Approve');
  list = await waitWindow(page, 'Statements to Approve');
  await rows(list, 'NF-88123').first().waitFor();
  await shot(page, 'statements-to-approve');
});

await step('approve NF-88123: it leaves the list', async () => {
  await rows(list, 'NF-88123').first().click();
  await list.getByRole('button', { name: 'Approve', exact: true }).click();
  await rows(list, 'NF-88123').first().waitFor({ state: 'detached' });
  await settle(page);
  await shot(page, 'approved');
});

await step('find it and open it: approved and balanced', async () => {
  await choose(page, 'Statements', 'Find Statement');
  const find = await waitWindow(page, 'Find Statement');
  await search(find, 'Statement Number', 'NF-88123');
  await rows(find, 'NF-88123').first().click();
  await press(find, 'Open');
  await settle(page);
  const caption = (await windowCaptions(page)).find((c) => c.includes('NF-88123'));
  check(caption !== undefined, `a window of the statement: ${await windowCaptions(page)}`);
  const statement = await waitWindow(page, caption);
  const text = await statement.innerText();
  check(/Balanced/.test(text) && !/Not balanced/.test(text), `it balances:\n${text}`);
  await shot(page, 'statement-window');
});

await step('the voucher list offers its new voucher', async () => {
  await choose(page, 'Vouchers', 'Voucher List');
  const vouchers = await waitWindow(page, 'Vouchers');
  const row = rows(vouchers, 'NF-88123').first();
  await row.waitFor();
  const text = await row.innerText();
  check(text.includes('(new)'), `a candidate voucher: ${text}`);
  check(text.includes('84.35'), `for the whole statement: ${text}`);
  await shot(page, 'voucher-candidate');
});

await finish();
