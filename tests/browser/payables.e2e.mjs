// The administrator opens the outstanding payables (the demo's one open
// payable: Thames Periodicals, GBP 255.00), runs a cheque run with the
// formatted file only, names the file, and downloads it: one cheque to
// Thames, a bank draft stub since the site pays in US dollars. The payable
// is then paid (checked by the test runner afterwards).
import {
  answer, check, choose, finish, logIn, newPage, press, question, rows, settle, shot, step,
  waitWindow,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

let list;
await step('open the outstanding payables', async () => {
  await choose(page, 'Vouchers', 'Outstanding Payables');
  list = await waitWindow(page, 'Outstanding Payables');
  await rows(list, 'Thames Periodicals Ltd').first().waitFor();
  await shot(page, 'outstanding-payables');
});

await step('run a cheque run with the formatted file and no register', async () => {
  await list.getByRole('button', { name: 'Cheque Run', exact: true }).click();
  const dialog = await waitWindow(page, 'Cheque Run');
  await dialog.getByLabel('Print cheque register report', { exact: true }).uncheck();
  await settle(page);
  await shot(page, 'cheque-run-choices');
  await press(dialog, 'OK');
  await answer(page, 'OK', 'Cheque Run 1 has been completed. Cheque Numbers 1 to 1');
  const box = question(page);
  await box.waitFor();
  const name = box.locator('input').first();
  check(/^[A-Z][a-z]{2}\d{6}\.txt$/.test(await name.inputValue()), 'the date is offered as the name');
  await name.fill('cheques.txt');
  await box.getByRole('button', { name: 'OK', exact: true }).click();
  await answer(page, 'OK', 'The formmatted Cheque File has been created');
  await answer(page, 'OK', 'Cheque run Completed');
});

let href;
await step('the page offers the file', async () => {
  const link = page.locator('#downloads a.download').filter({ hasText: 'cheques.txt' });
  await link.waitFor();
  href = await link.getAttribute('href');
  check(/^\/files\//.test(href || ''), `the link is the server's: ${href}`);
  await shot(page, 'file-offered');
});

await step('the file is the cheque of Thames Periodicals', async () => {
  const response = await page.request.get(new URL(href, page.url()).toString());
  check(response.ok(), `the download answered ${response.status()}`);
  const text = (await response.body()).toString('latin1');
  check(text.includes('Thames Periodicals Ltd'), `the payee is in the file:\n${text}`);
  check(text.includes('Inv. # TP-2025-118'), `the invoice is in the file:\n${text}`);
  check(text.includes('PAY BY BANK DRAFT ONLY'), `a bank draft stub:\n${text}`);
  check(text.includes('\r\n'), 'the lines end in CR LF');
});

await step('the paid payable has left the list', async () => {
  await rows(list, 'Thames Periodicals Ltd').first().waitFor({ state: 'detached' });
});

await finish();
