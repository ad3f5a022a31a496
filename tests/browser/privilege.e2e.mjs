// The viewer cancels the prompts for privileges it lacks: Find Statement
// opens nothing, and a found PO is not opened; the page says no window is
// open (or shows only the find window) and nothing waits.
import {
  check, choose, credentials, finish, logIn, newPage, press, search, selectRow, settle, shot, step,
  waitWindow, windowCaptions,
} from './lib/e2e.mjs';

const page = await newPage('viewer');
await step('log in as viewer', () => logIn(page, 'viewer', 'viewer'));

await step('Statements > Find Statement asks for another user; Cancel', async () => {
  await choose(page, 'Statements', 'Find Statement');
  const box = page.getByRole('dialog', { name: 'Authorisation needed' });
  await box.waitFor();
  await shot(page, 'prompt');
  await credentials(page, null);
});

await step('no window is open, and the page says so', async () => {
  await page.getByText('No window is open.').waitFor();
  check((await windowCaptions(page)).length === 0, `windows: ${await windowCaptions(page)}`);
  check(await page.locator('.layer').count() === 0, 'no dialog is left open');
  await shot(page, 'refused');
});

await step('a found PO is not opened when the prompt is cancelled', async () => {
  await choose(page, 'Purchase Orders', 'Find PO');
  const find = await waitWindow(page, 'Find PO');
  await search(find, 'PO Number', 'PO-2026-0001');
  await selectRow(find, 'PO-2026-0001');
  await press(find, 'Open');
  await credentials(page, null);
  await settle(page);
  const captions = await windowCaptions(page);
  check(captions.length === 1 && captions[0] === 'Find PO', `windows: ${captions}`);
});

await finish();
