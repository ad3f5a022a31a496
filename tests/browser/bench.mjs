// Benchmark of the browser client against a running `acq serve` (ACQ_URL, on
// this machine: memory is read from /proc): how long a click on Purchase
// Orders > Find PO takes until the Find PO window and its table are drawn,
// with one session open and with all of them, and the resident memory of
// the server and of each session's frame process.
//
//   ACQ_URL=http://127.0.0.1:PORT/ node tests/browser/bench.mjs
//   BENCH_SESSIONS (default 5), BENCH_CLICKS (default 20) change the counts.
// scripts/bench-browser.sh starts a server on a fresh demo library and runs it.

import {
  closeWindow, launch, logIn, menuItem, newPage, rssKiB, serverPid, sessionPids, settle, win,
} from './lib/e2e.mjs';

const sessions = Number(process.env.BENCH_SESSIONS || 5);
const clicks = Number(process.env.BENCH_CLICKS || 20);
const users = ['admin', 'clerk', 'viewer'];

function stats(values) {
  const v = [...values].sort((a, b) => a - b);
  const mid = Math.floor(v.length / 2);
  const median = v.length % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
  return { median, max: v[v.length - 1] };
}

// One click on Find PO, timed in the page from the click to the frame after
// the window with its table is in the document.
async function timeFindPo(page) {
  const item = await menuItem(page, 'Purchase Orders', 'Find PO');
  await item.waitFor();
  const ms = await item.evaluate((node) => new Promise((resolve) => {
    const drawn = () => [...document.querySelectorAll('section.window:not([hidden])')].some(
      (s) => s.querySelector('h2')?.textContent === 'Find PO' && s.querySelector('table.list thead th') &&
             s.getClientRects().length > 0);
    const t0 = performance.now();
    const observer = new MutationObserver(() => {
      if (!drawn()) return;
      observer.disconnect();
      requestAnimationFrame(() => resolve(performance.now() - t0));
    });
    observer.observe(document.body, { childList: true, subtree: true, attributes: true });
    node.click();
  }));
  await settle(page);
  await closeWindow(page, 'Find PO');
  await win(page, 'Find PO').waitFor({ state: 'detached' });
  return ms;
}

async function timeClicks(page) {
  const times = [];
  for (let i = 0; i < clicks; ++i) times.push(await timeFindPo(page));
  return stats(times);
}

function memory() {
  const server = serverPid();
  const frames = sessionPids(server).map(rssKiB);
  return { server: rssKiB(server), frames };
}

const mib = (kib) => (kib / 1024).toFixed(1);
const ms = (x) => x.toFixed(1);

await launch();
const pages = [];
const loginMs = [];
for (let i = 0; i < sessions; ++i) {
  const page = await newPage(`session ${i + 1}`);
  const user = users[i % users.length];
  const t0 = performance.now();
  await logIn(page, user, user);
  loginMs.push(performance.now() - t0);
  pages.push(page);
  if (i === 0) {
    pages.one = { clicks: await timeClicks(page), memory: memory() };
  }
}
const all = { clicks: await timeClicks(pages[pages.length - 1]), memory: memory() };

const rows = [
  ['', '1 session', `${sessions} sessions`],
  ['Find PO click to drawn, median (ms)', ms(pages.one.clicks.median), ms(all.clicks.median)],
  ['Find PO click to drawn, max (ms)', ms(pages.one.clicks.max), ms(all.clicks.max)],
  ['server VmRSS (MiB)', mib(pages.one.memory.server), mib(all.memory.server)],
  ['each frame VmRSS (MiB)', pages.one.memory.frames.map(mib).join(' '),
   all.memory.frames.map(mib).join(' ')],
  ['all frames VmRSS (MiB)', mib(pages.one.memory.frames.reduce((a, b) => a + b, 0)),
   mib(all.memory.frames.reduce((a, b) => a + b, 0))],
];
const widths = rows[0].map((_, c) => Math.max(...rows.map((r) => r[c].length)));
console.log(`browser client: ${clicks} clicks on Find PO each; log-in (click to first screen) ` +
            `median ${ms(stats(loginMs).median)} ms, max ${ms(stats(loginMs).max)} ms over ${sessions}`);
for (const r of rows) console.log(r.map((cell, c) => (c ? cell.padStart(widths[c]) : cell.padEnd(widths[c]))).join('  '));
process.exit(0);
