// The administrator finds PO-2026-0003 and prints it as a draft to "PDF
// file": the page offers the PDF, which is a draft of that PO. A draft
// marks nothing on the PO (checked by the test runner afterwards).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import {
  check, choose, finish, logIn, newPage, question, search, selectRow, settle, shot, step,
  waitWindow,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

await step('find PO-2026-0003 and select it', async () => {
  await choose(page, 'Purchase Orders', 'Find PO');
  const find = await waitWindow(page, 'Find PO');
  await search(find, 'PO Number', 'PO-2026-0003');
  await selectRow(find, 'PO-2026-0003');
});

await step('Print Draft POs asks for a printer: PDF file', async () => {
  await choose(page, 'Print', 'Print Draft POs');
  const box = question(page);
  await box.waitFor();
  await shot(page, 'printer-choice');
  await box.getByLabel('PDF file', { exact: true }).check();
  await box.getByRole('button', { name: 'OK', exact: true }).click();
  await box.waitFor({ state: 'detached' });
  await settle(page);
});

let href;
await step('the page offers the PDF', async () => {
  const link = page.locator('#downloads a.download').filter({ hasText: /Purchase_Order[^ ]*\.pdf/ });
  await link.waitFor();
  href = await link.getAttribute('href');
  check(/^\/files\//.test(href || ''), `the link is the server's: ${href}`);
  await page.locator('#status-text', { hasText: 'is ready' }).waitFor();
  await shot(page, 'pdf-offered');
});

await step('the PDF is a draft of PO-2026-0003', async () => {
  // Fetched as the page would, with the session's cookie.
  const response = await page.request.get(new URL(href, page.url()).toString());
  check(response.ok(), `the download answered ${response.status()}`);
  const bytes = await response.body();
  check(bytes.subarray(0, 5).toString('latin1') === '%PDF-', 'the download is a PDF');
  const dir = mkdtempSync(join(tmpdir(), 'acq-print-'));
  try {
    const file = join(dir, 'draft.pdf');
    writeFileSync(file, bytes);
    const text = execFileSync('pdftotext', ['-layout', file, '-'], { encoding: 'utf8' });
    check(text.includes('PO-2026-0003'), `the PO number is in the PDF:\n${text}`);
    check(/DRAFT/.test(text), `the PDF says it is a draft:\n${text}`);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});

await finish();
