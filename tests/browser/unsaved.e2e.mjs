// Closing an editor with unsaved changes asks first: Cancel keeps it open
// with the change, then No closes it and the change is dropped.
import {
  answer, check, closeWindow, finish, logIn, newPage, openPo, press, selectRow, settle, shot, step,
  type, waitWindow, win,
} from './lib/e2e.mjs';

const page = await newPage('clerk');
await step('log in as clerk', () => logIn(page, 'clerk', 'clerk'));

const caption = 'Edit: PO PO-2026-0006 Line 1';
let editor;
await step('open line 1 of PO-2026-0006 and change its title', async () => {
  const po = await openPo(page, 'PO-2026-0006');
  await selectRow(po, 'Wild Places');
  await press(po, 'Edit Line');
  editor = await waitWindow(page, caption);
  await type(editor, 'title', 'Changed but not saved');
  await editor.getByText('Unsaved changes').waitFor();
});

await step('its × asks to save; Cancel keeps it open with the change', async () => {
  await closeWindow(page, caption);
  const box = page.getByRole('alertdialog');
  await box.getByText(`Save changes to ${caption}?`).waitFor();
  await shot(page, 'asks');
  await answer(page, 'Cancel');
  await waitWindow(page, caption);
  check(await editor.locator('input[name="title"]').inputValue() === 'Changed but not saved',
        'the typed title is still there');
});

await step('Escape asks again; No closes it without saving', async () => {
  await editor.locator('input[name="title"]').focus();
  await page.keyboard.press('Escape');
  await settle(page);
  await answer(page, 'No', 'Save changes');
  await win(page, caption).waitFor({ state: 'detached' });
  await waitWindow(page, 'PO PO-2026-0006');
  await page.locator('section.window:not([hidden]) tbody tr', { hasText: 'Wild Places' }).waitFor();
});

await finish();
