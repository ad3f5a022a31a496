// One session's frame process dies (SIGKILL): its page says the session
// ended unexpectedly and shows the log-in form; the other session goes on.
import {
  check, choose, finish, logIn, newPage, serverPid, sessionPids, step, until, waitWindow,
  windowCaptions, shot,
} from './lib/e2e.mjs';

const clerk = await newPage('clerk');
const admin = await newPage('admin');
let victim;
await step('two sessions: the clerk, then the administrator', async () => {
  await logIn(clerk, 'clerk', 'clerk');
  const server = serverPid();
  const before = sessionPids(server);
  await logIn(admin, 'admin', 'admin');
  const added = sessionPids(server).filter((p) => !before.includes(p));
  check(added.length === 1, `one new frame process for the administrator: ${added}`);
  victim = added[0];
  await choose(admin, 'Purchase Orders', 'Find PO');
  await waitWindow(admin, 'Find PO');
});

await step('the administrator\'s frame process is killed', async () => {
  process.kill(victim, 'SIGKILL');
  await until(() => !sessionPids().includes(victim), `process ${victim} to go`);
});

await step('its page says so and shows the log-in form', async () => {
  await admin.locator('#login-info', { hasText: 'ended unexpectedly' }).waitFor();
  await admin.getByRole('button', { name: 'Log in', exact: true }).waitFor();
  check(await admin.locator('#app').isHidden(), 'the application is gone');
  await shot(admin, 'ended');
});

await step('the clerk still works', async () => {
  await choose(clerk, 'Purchase Orders', 'Find PO');
  await waitWindow(clerk, 'Find PO');
  check((await windowCaptions(clerk)).join('|') === 'Find PO', 'the clerk has Find PO');
});

await step('the administrator logs in again', async () => {
  await logIn(admin, 'admin', 'admin');
  check((await windowCaptions(admin)).length === 0, 'a new session starts with no windows');
});

await finish();
