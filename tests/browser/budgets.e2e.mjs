// The administrator keeps the budgets as a person would in the browser.
//
// Budget Hierarchy Manager: AV.2026 dragged onto the group Print and moved
// there through the drop menu; Print renamed "Printed" by a double-click on
// it (the click that starts the double-click selects it, and the redraw
// answering that click must not lose the label being typed); a budget's
// label refused; saved; the hierarchy report shows the moved budget under
// Printed, indented as a group of the hierarchy, with the group's subtotal.
//
// Reports > Budget Status for 2026: the rows, their totals and the bar chart.
// Budgets > Account Years: REF.2026's amount made 8500.00 in its editor.
// The test runner then checks the rows.
import {
  answer, cells, check, choose, finish, logIn, newPage, press, rows, selectRow, settle, shot, step,
  type, until, waitWindow,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin', () => logIn(page, 'admin', 'admin'));

let manager;
const labels = () => manager.locator('.tree-node .tree-text').allTextContents();
const node = (label) => manager.locator('.tree-node').filter({
  has: page.locator('.tree-text', { hasText: new RegExp(`^${label.replace('.', '\\.')}$`) }),
});
const demoTree = ['Collections 2026', 'Print', 'ADULT.2026', 'REF.2026', 'CHILD.2026', 'Non-print',
  'AV.2026', 'SERIAL.2026'];

await step('Budgets > Budget Hierarchy Manager shows the demo tree', async () => {
  await choose(page, 'Budgets', 'Budget Hierarchy Manager');
  manager = await waitWindow(page, 'Budget Hierarchy Management');
  const shown = await labels();
  check(JSON.stringify(shown) === JSON.stringify(demoTree), `the tree: ${JSON.stringify(shown)}`);
  await shot(page, 'manager');
});

await step('drag AV.2026 onto Print; the drop menu; Move Item', async () => {
  await node('AV.2026').dragTo(node('Print'));
  const menu = page.getByRole('menu', { name: 'Menu' });
  await menu.waitFor();
  await shot(page, 'drop-menu');
  await menu.getByRole('menuitem', { name: 'Move Item' }).click();
  await settle(page);
  await until(async () => (await labels()).indexOf('AV.2026') === 5, 'AV.2026 moved under Print');
});

// Double-clicks the item, types `text` into its label and presses Enter.
const rename = async (label, text) => {
  await node(label).dblclick();
  const input = manager.locator('input.tree-edit');
  await input.fill(text);
  await input.press('Enter');
  await settle(page);
};

await step('double-click Print and type Printed', async () => {
  await rename('Print', 'Printed');
  await until(async () => (await labels())[1] === 'Printed', 'the group is called Printed');
});

await step("a budget's label is refused and stays", async () => {
  await rename('REF.2026', 'Reference');
  await page.getByRole('alertdialog').getByText('Cannot edit the label of a budget.').waitFor();
  await shot(page, 'budget-label');
  await answer(page, 'OK');
  check((await labels())[3] === 'REF.2026', `item 4: ${(await labels())[3]}`);
});

await step('Save; the hierarchy report has AV.2026 in Printed', async () => {
  await press(manager, 'Save');
  await press(manager, 'Show Budget Hierarchy Report');
  const report = await waitWindow(page, 'Budget Hierarchy Report');
  const printed = await cells(rows(report, 'Printed').first());
  check(printed[0] === '   Printed' && printed[2] === '29000.00',
        `Printed's subtotal: ${JSON.stringify(printed)}`);
  await shot(page, 'report');
  await press(report, 'Close');
});

await step('Reports > Budget Status for 2026: rows, totals and the chart', async () => {
  await choose(page, 'Reports', 'Budget Status');
  await press(await waitWindow(page, 'Budget Status Report'), 'OK');
  const status = await waitWindow(page, 'Budget Status 2026');
  const adult = await cells(rows(status, 'ADULT.2026').first());
  check(adult[2] === '$12000.00' && adult[3] === '$273.37', `ADULT.2026: ${JSON.stringify(adult)}`);
  await status.getByText('Total Amount: $43000.00').waitFor();
  check(await status.locator('svg rect').count() > 7, 'the bar chart is drawn');
  await shot(page, 'status');
  await press(status, 'Close');
});

await step('Budgets > Account Years 2026: REF.2026 made 8500.00', async () => {
  await choose(page, 'Budgets', 'Account Years');
  const years = await waitWindow(page, 'Account Years');
  await type(years, 'year', '2026');
  await press(years, 'Find');
  await selectRow(years, 'REF.2026');
  await press(years, 'Edit...');
  const budget = await waitWindow(page, 'Budget');
  check(await budget.locator('input[name="amount"]').inputValue() === '8000', 'the amount shown');
  await type(budget, 'amount', '8500.00');
  await press(budget, 'OK');
  await until(async () => (await cells(rows(years, 'REF.2026').first()))[2] === '$8500.00',
              'the list shows the new amount');
  await shot(page, 'budget-saved');
});

await finish();
