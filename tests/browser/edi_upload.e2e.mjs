// The administrator uploads an order response through the page's file
// picker and watches the progress window until the import thread is done:
// Abort disabled, Close enabled, the review note in the status line. Then
// the message is in the order responses' list; reading it tells, box by
// box, that its lines name no PO of this library, and none is left to
// review. The
// test runner then checks the stored interchange.
import { readFileSync } from 'node:fs';

import {
  check, choose, finish, logIn, newPage, press, rows, settle, shot, step, until, waitWindow,
} from './lib/e2e.mjs';

const name = 'ingram_437.ordrsp.edi';
const bytes = readFileSync(new URL(`../data/edifact/${name}`, import.meta.url));

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

let select;
await step('choose the file through the picker', async () => {
  await choose(page, 'EDIFACT', 'Upload EDIFACT Files');
  select = await waitWindow(page, 'Upload EDIFACT Files');
  await select.getByRole('button', { name: 'Files...', exact: true }).click();
  const box = page.getByRole('dialog', { name: 'Choose files' });
  await box.getByLabel('Files').setInputFiles({ name, mimeType: 'text/plain', buffer: bytes });
  await box.getByRole('button', { name: 'Upload', exact: true }).click();
  await box.waitFor({ state: 'detached' });
  await settle(page);
  await rows(select, name).first().waitFor();
  await shot(page, 'files-chosen');
});

await step('upload: the progress window runs to its end', async () => {
  await press(select, 'Upload');
  const progress = await waitWindow(page, 'Upload EDIFACT Files in Process...');
  const close = progress.getByRole('button', { name: 'Close', exact: true });
  await until(() => close.isEnabled(), 'Close enabled once the upload ended');
  const abort = progress.getByRole('button', { name: 'Abort', exact: true });
  check(await abort.isDisabled(), 'Abort disabled at the end');
  const text = await progress.innerText();
  check(text.includes('Use Table Editor to review'), `the review note:\n${text}`);
  check(text.includes(name), `the file line names the file:\n${text}`);
  await shot(page, 'upload-done');
  await press(progress, 'Close');
});

await step('order responses: the message is listed, its lines name no PO', async () => {
  await choose(page, 'EDIFACT', 'Order Responses');
  const list = await waitWindow(page, 'EDIFACT Order Responses');
  await rows(list, '17').first().click();
  await shot(page, 'order-responses');
  // Reading runs with the hourglass on while its boxes ask: click, then
  // answer one box a line (each names its PO/line), the next replacing it.
  await list.getByRole('button', { name: 'Details', exact: true }).click();
  const told = new Set();
  const boxes = page.getByRole('alertdialog');
  while (told.size < 4) {
    const box = boxes.first();
    await box.getByText('PO/Line', { exact: false }).waitFor();
    const text = await box.innerText();
    told.add(text);
    await box.getByRole('button', { name: 'OK', exact: true }).click();
    await until(async () => (await boxes.count()) === 0 || (await boxes.first().innerText()) !== text,
                'the box answered');
  }
  await settle(page);
  check(told.size === 4, `four lines named no PO: ${[...told].join(' / ')}`);
  // The message failed: no line to review, and it stays in the list.
  const lines = await waitWindow(page, 'EDIFACT Order Response Lines');
  await lines.getByText('No rows').waitFor();
  await shot(page, 'no-lines');
});

await finish();
