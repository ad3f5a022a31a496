// What a page that is not ours could send: bad JSON, an action on a window
// not on the screen, a `send`, an answer to no question, a frame over 1 MiB:
// each is refused (the huge frame closes the socket) and the session goes
// on. No file outside the page is served, and a WebSocket without the
// session's cookie is refused.
import { request } from 'node:http';
import {
  baseUrl, check, choose, closeWindow, finish, logIn, newPage, step, waitWindow, windowCaptions,
} from './lib/e2e.mjs';

const page = await newPage('admin');
await step('log in as admin and open Find PO', async () => {
  await logIn(page, 'admin', 'admin');
  await choose(page, 'Purchase Orders', 'Find PO');
  await waitWindow(page, 'Find PO');
});

// In a page of the server's origin without the application (so nothing
// reconnects), opens a WebSocket with the session's cookie and sends each
// message in turn, collecting what comes back for each.
async function probe(target, messages) {
  return target.evaluate(async (list) => {
    const ws = new WebSocket(`ws://${location.host}/ws`);
    const got = [];
    let closed = false;
    let wake = () => {};
    ws.onmessage = (e) => { got.push(JSON.parse(e.data)); wake(); };
    ws.onclose = () => { closed = true; wake(); };
    const until = async (pred, ms = 20000) => {
      const end = Date.now() + ms;
      while (!pred()) {
        if (Date.now() > end) return false;
        await new Promise((r) => { wake = r; setTimeout(r, 50); });
      }
      return true;
    };
    await until(() => closed || got.some((m) => m.t === 'screen'));
    if (closed) return { opened: false };
    const screen = got.find((m) => m.t === 'screen');
    const results = [];
    for (const text of list) {
      const from = got.length;
      ws.send(text === 'HUGE' ? JSON.stringify({ t: 'action', text: `show ${'x'.repeat(1100000)}` }) : text);
      await until(() => closed || got.length > from);
      results.push(closed ? 'closed' : got.slice(from).map((m) => m.t).join(','));
      if (closed) break;
    }
    ws.close();
    return { opened: true, hello: got[0], windows: screen.windows.map((w) => w.id), results };
  }, messages);
}

await step('each forged message is refused', async () => {
  // The application leaves the tab, so it does not take the session's
  // WebSocket back while the forged one is open.
  await page.goto(new URL('/no-such-page', baseUrl).href);
  const forged = [
    '{"t":"action","text":',                                   // bad JSON
    JSON.stringify({ t: 'action', text: 'show', window: 987654 }),
    JSON.stringify({ t: 'action', text: 'send 0x0BD0 0 0' }),
    JSON.stringify({ t: 'answer', id: 77, button: 'yes' }),
    JSON.stringify({ t: 'whatever' }),
    'HUGE',
  ];
  const r = await probe(page, forged);
  check(r.opened, 'the WebSocket with the cookie is accepted');
  check(r.hello && r.hello.t === 'hello' && r.hello.user === 'admin', `hello: ${JSON.stringify(r.hello)}`);
  check(!r.windows.includes(987654), 'the window id is not on the screen');
  const want = ['refused', 'refused', 'refused', 'refused', 'refused'];
  check(JSON.stringify(r.results.slice(0, 5)) === JSON.stringify(want), `answers: ${JSON.stringify(r.results)}`);
  check(['closed', 'refused'].includes(r.results[5]), `the huge frame: ${r.results[5]}`);
  // The session goes on: a new socket, and a real action works.
  const again = await probe(page, [JSON.stringify({ t: 'action', text: 'command 152' })]);
  check(again.opened && again.results[0].includes('screen'), `after: ${JSON.stringify(again)}`);
});

await step('the page reconnects and the session still works', async () => {
  await page.goto(baseUrl);
  await page.locator('#app').waitFor({ state: 'visible' });
  await waitWindow(page, 'Find PO');
  const captions = await windowCaptions(page);
  check(captions.length > 0 && captions.every((c) => c === 'Find PO'), `windows: ${captions}`);
  for (let i = 0; i < captions.length; ++i) await closeWindow(page, 'Find PO');
  await page.getByText('No window is open.').waitFor();
  await choose(page, 'Purchase Orders', 'Find PO');
  await waitWindow(page, 'Find PO');
});

// A raw request, its path sent as written.
function rawGet(path) {
  const u = new URL(baseUrl);
  return new Promise((resolve, reject) => {
    const req = request({ host: u.hostname, port: u.port, path, method: 'GET' }, (res) => {
      let body = '';
      res.on('data', (d) => { body += d; });
      res.on('end', () => resolve({ status: res.statusCode, body }));
    });
    req.on('error', reject);
    req.end();
  });
}

await step('no file outside the page is served', async () => {
  for (const path of ['/../../etc/passwd', '/files/nope']) {
    const status = await page.evaluate(async (p) => (await fetch(p)).status, path);
    check(status === 404, `fetch ${path}: ${status}`);
  }
  for (const path of ['/../../etc/passwd', '/%2e%2e/%2e%2e/etc/passwd', '/..%2f..%2fetc/passwd']) {
    const r = await rawGet(path);
    check((r.status === 404 || r.status === 400) && !r.body.includes('root:'), `GET ${path}: ${r.status}`);
  }
});

await step('a WebSocket without the cookie is refused', async () => {
  const stranger = await newPage('stranger');
  const opened = await stranger.evaluate(() => new Promise((resolve) => {
    const ws = new WebSocket(`ws://${location.host}/ws`);
    ws.onopen = () => resolve(true);
    ws.onerror = () => resolve(false);
    ws.onclose = () => resolve(false);
  }));
  check(!opened, 'the WebSocket was accepted without a session');
});

await finish();
