// The administrator creates catalogue items and reuses a distribution.
//
// Items: PO-2026-0001 makes items; on its approved line 2 (two items)
// Purchase Orders > Create Items asks first, then the barcode dialog once
// an item: a barcode of the wrong shape is refused and the dialog stays
// with it, a 14-digit barcode is taken for the first item, and the second
// is left empty (the module numbers it "acq" + the item number).
//
// Patterns: on PO-2026-0006 the split 50/50 of line 3 is saved as a
// pattern (saving the same name again is refused, and not replaced when
// asked), picked in the PO window's Distribution Pattern drop-down and
// applied to line 1, whose two items give way to the pattern's one. The
// test runner checks the rows.
import {
  answer, cells, check, choose, closeWindow, finish, logIn, newPage, openPo, press, rows,
  selectRow, settle, shot, step, type, until, waitWindow, win,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

let po;
await step('Create Items on line 2 of PO-2026-0001 asks first; Yes', async () => {
  po = await openPo(page, 'PO-2026-0001');
  await selectRow(po, 'Atlas of Coastal Birds');
  await choose(page, 'Purchase Orders', 'Create Items');
  await page.getByRole('alertdialog').getByText('OK to create Item(s) for selected line(s)?').waitFor();
  await answer(page, 'Yes');
});

const barcodeCaption = 'Barcode: PO PO-2026-0001 Line 2';
await step('a barcode of the wrong shape is refused, the dialog keeps it', async () => {
  const dialog = await waitWindow(page, barcodeCaption);
  check(await dialog.locator('input[name="title"]').inputValue() === 'Atlas of Coastal Birds',
        'the dialog names the title');
  await type(dialog, 'ibarcode', '12AB');
  await press(dialog, 'OK');
  await page.getByRole('alertdialog')
    .getByText('The item barcode entered does not have the correct format.').waitFor();
  await shot(page, 'barcode-refused');
  await answer(page, 'OK');
  check(await dialog.locator('input[name="ibarcode"]').inputValue() === '12AB',
        'the refused barcode stays for correction');
});

await step('the first item takes a typed barcode, the second none', async () => {
  let dialog = await waitWindow(page, barcodeCaption);
  await type(dialog, 'ibarcode', '31234000012345');
  await shot(page, 'barcode-typed');
  await press(dialog, 'OK');
  // The same dialog again, empty, for the second item.
  dialog = await waitWindow(page, barcodeCaption);
  check(await dialog.locator('input[name="ibarcode"]').inputValue() === '',
        'the second item starts without a barcode');
  await press(dialog, 'OK');
  await win(page, barcodeCaption).waitFor({ state: 'detached' });
  await shot(page, 'items-created');
  await closeWindow(page, 'PO PO-2026-0001');
});

await step('Save Pattern from line 3 of PO-2026-0006', async () => {
  po = await openPo(page, 'PO-2026-0006');
  await selectRow(po, 'Conversational Spanish Course');
  await choose(page, 'Purchase Orders', 'Save Pattern');
  const dialog = await waitWindow(page, 'Save Pattern: PO PO-2026-0006 Line 3');
  await type(dialog, 'pattern', 'AV half and half');
  await shot(page, 'save-pattern');
  await press(dialog, 'OK');
  await win(page, 'Save Pattern: PO PO-2026-0006 Line 3').waitFor({ state: 'detached' });
  const options = await po.locator('select[name="pattern"] option').allTextContents();
  check(options.includes('AV half and half'), `the drop-down offers it: ${options}`);
});

await step('saving the same name again is refused; not replaced', async () => {
  await choose(page, 'Purchase Orders', 'Save Pattern');
  const dialog = await waitWindow(page, 'Save Pattern: PO PO-2026-0006 Line 3');
  await type(dialog, 'pattern', 'AV half and half');
  await press(dialog, 'OK');
  await answer(page, 'OK', 'Pattern already exists on database.');
  await answer(page, 'No', 'Replace its distribution with the items of this line?');
  await press(dialog, 'Cancel');
  await win(page, 'Save Pattern: PO PO-2026-0006 Line 3').waitFor({ state: 'detached' });
});

await step('pick the pattern in the drop-down and apply it to line 1', async () => {
  await po.locator('select[name="pattern"]').selectOption({ label: 'AV half and half' });
  await settle(page);
  await selectRow(po, 'Wild Places');
  await shot(page, 'pattern-picked');
  await choose(page, 'Purchase Orders', 'Apply Pattern');
  const select = await waitWindow(page, 'Select Distribution Pattern');
  check(await select.locator('select[name="pattern"]').inputValue() !== '',
        'the dialog starts from the PO window\'s choice');
  check((await select.locator('select[name="pattern"] option:checked').textContent()).trim() ===
        'AV half and half', 'the picked pattern is proposed');
  await press(select, 'OK');
  const box = page.getByRole('alertdialog');
  await box.getByText('Do you want to override any previous distribution information').waitFor();
  check((await box.innerText()).includes('Apply Distribution Pattern AV half and half'),
        'the question names the pattern');
  await shot(page, 'apply-question');
  await answer(page, 'Yes');
});

await step('line 1 now holds the pattern\'s one item', async () => {
  const line1 = async () => (await cells(rows(po, 'Wild Places').first())).slice(4, 6).join(' ');
  await until(async () => (await line1()) === '1 $29.99', 'line 1 at one item');
  await shot(page, 'pattern-applied');
});

await finish();
