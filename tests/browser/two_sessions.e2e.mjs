// Two people at once, each in a browser context of their own: the clerk's
// windows and the administrator's stay apart, and each still works after
// the other acted.
import {
  check, choose, finish, logIn, newPage, openPo, rows, step, waitWindow, windowCaptions,
} from './lib/e2e.mjs';

const clerk = await newPage('clerk');
const admin = await newPage('admin');
await step('the clerk and the administrator log in', async () => {
  await logIn(clerk, 'clerk', 'clerk');
  await logIn(admin, 'admin', 'admin');
  await clerk.locator('#who', { hasText: 'clerk' }).waitFor();
  await admin.locator('#who', { hasText: 'admin' }).waitFor();
});

await step('the clerk opens PO-2026-0006, the administrator Find Statement', async () => {
  await openPo(clerk, 'PO-2026-0006');
  await choose(admin, 'Statements', 'Find Statement');
  await waitWindow(admin, 'Find Statement');
});

await step('each sees only its own windows', async () => {
  const c = await windowCaptions(clerk);
  const a = await windowCaptions(admin);
  check(c.join('|') === 'Find PO|PO PO-2026-0006', `the clerk's windows: ${c}`);
  check(a.join('|') === 'Find Statement', `the administrator's windows: ${a}`);
});

await step('both go on working: the clerk\'s PO lines, the administrator\'s Find PO', async () => {
  check(await rows(await waitWindow(clerk, 'PO PO-2026-0006')).count() === 3, 'PO 6 has 3 lines');
  await choose(admin, 'Purchase Orders', 'Find PO');
  await waitWindow(admin, 'Find PO');
  check((await windowCaptions(admin)).join('|') === 'Find Statement|Find PO', 'the admin has two');
  check((await windowCaptions(clerk)).join('|') === 'Find PO|PO PO-2026-0006', 'the clerk still two');
});

await finish();
