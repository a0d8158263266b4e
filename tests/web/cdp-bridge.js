#!/usr/bin/env node
// Drives a headless chromium for the web console's browser test over the DevTools protocol
// on a pipe (no port, nothing downloaded). The test writes one JSON command per line on stdin
// and reads one JSON answer per line on stdout:
//   {"id":1,"cmd":"goto","url":"https://…"}             → {"id":1,"ok":true}
//   {"id":2,"cmd":"eval","expr":"document.title"}       → {"id":2,"ok":true,"value":"…"}
//   {"id":3,"cmd":"wait","expr":"…","timeout":6000}     → ok once expr is truthy, else ok:false
//   {"id":4,"cmd":"shot","width":360,"height":740,"path":"/tmp/x.png"}
// Usage: cdp-bridge.js CHROMIUM USER_DATA_DIR
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const readline = require('readline');

const [chromiumPath, userDataDir] = process.argv.slice(2);
const browser = spawn(chromiumPath, [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage', '--ignore-certificate-errors',
  '--remote-debugging-pipe', `--user-data-dir=${userDataDir}`, '--lang=zh-CN', 'about:blank',
], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
const toBrowser = browser.stdio[3];
const fromBrowser = browser.stdio[4];

let nextId = 1;
const pending = new Map();
const listeners = [];
let buffer = Buffer.alloc(0);
fromBrowser.on('data', (chunk) => {
  buffer = Buffer.concat([buffer, chunk]);
  let end;
  while ((end = buffer.indexOf(0)) >= 0) {
    const message = JSON.parse(buffer.subarray(0, end).toString('utf8'));
    buffer = buffer.subarray(end + 1);
    if (message.id && pending.has(message.id)) {
      const { resolve, reject } = pending.get(message.id);
      pending.delete(message.id);
      if (message.error) reject(new Error(message.error.message));
      else resolve(message.result);
    } else if (message.method) {
      listeners.slice().forEach((l) => l(message));
    }
  }
});
let quitting = false;
browser.on('exit', (code) => {
  if (quitting) return;
  process.stdout.write(JSON.stringify({ id: 0, ok: false, error: `chromium ended (${code})` }) + '\n');
  process.exit(1);
});

let sessionId;
function send(method, params = {}, toSession = true) {
  const id = nextId++;
  const message = { id, method, params };
  if (toSession && sessionId) message.sessionId = sessionId;
  toBrowser.write(JSON.stringify(message) + '\0');
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}
function once(method, timeout) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { remove(); reject(new Error(`no ${method}`)); }, timeout);
    const listener = (m) => { if (m.method === method) { clearTimeout(timer); remove(); resolve(m.params); } };
    const remove = () => listeners.splice(listeners.indexOf(listener), 1);
    listeners.push(listener);
  });
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function evaluate(expr) {
  const r = await send('Runtime.evaluate', { expression: expr, returnByValue: true, awaitPromise: true });
  if (r.exceptionDetails) throw new Error(r.exceptionDetails.exception?.description || r.exceptionDetails.text);
  return r.result.value;
}

async function start() {
  const { targetInfos } = await send('Target.getTargets', {}, false);
  let page = targetInfos.find((t) => t.type === 'page');
  if (!page) {
    const { targetId } = await send('Target.createTarget', { url: 'about:blank' }, false);
    page = { targetId };
  }
  ({ sessionId } = await send('Target.attachToTarget', { targetId: page.targetId, flatten: true }, false));
  await send('Page.enable');
  await send('Runtime.enable');
}

const commands = {
  async goto(c) {
    const loaded = once('Page.loadEventFired', 20000);
    await send('Page.navigate', { url: c.url });
    await loaded;
    return {};
  },
  async eval(c) { return { value: await evaluate(c.expr) }; },
  async wait(c) {
    const until = Date.now() + (c.timeout || 10000);
    for (;;) {
      try {
        const value = await evaluate(c.expr);
        if (value) return { value };
      } catch (e) { /* the page is between documents: try again */ }
      if (Date.now() > until) return { ok: false, error: `timed out: ${c.expr}` };
      await sleep(100);
    }
  },
  async shot(c) {
    await send('Emulation.setDeviceMetricsOverride',
      { width: c.width, height: c.height, deviceScaleFactor: 1, mobile: c.width < 600 });
    await sleep(300);
    const { data } = await send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(c.path, Buffer.from(data, 'base64'));
    await send('Emulation.clearDeviceMetricsOverride');
    return {};
  },
  async quit() {
    // Answered once chromium is gone, so its profile folder can be removed.
    quitting = true;
    const ended = new Promise((resolve) => {
      if (browser.exitCode !== null || browser.signalCode !== null) return resolve();
      browser.once('exit', resolve);
      setTimeout(() => { browser.kill('SIGKILL'); }, 10000);
    });
    send('Browser.close', {}, false).catch(() => {});
    await ended;
    return {};
  },
};

(async () => {
  try {
    await start();
  } catch (e) {
    process.stdout.write(JSON.stringify({ id: 0, ok: false, error: String(e) }) + '\n');
    process.exit(1);
  }
  process.stdout.write(JSON.stringify({ id: 0, ok: true }) + '\n');
  const lines = readline.createInterface({ input: process.stdin });
  // One command at a time, in the order written.
  let queue = Promise.resolve();
  lines.on('line', (line) => {
    queue = queue.then(async () => {
      const c = JSON.parse(line);
      let answer;
      try {
        answer = { ok: true, ...(await commands[c.cmd](c)) };
      } catch (e) {
        answer = { ok: false, error: String(e && e.message || e) };
      }
      process.stdout.write(JSON.stringify({ id: c.id, ...answer }) + '\n');
    });
  });
  lines.on('close', () => { queue.then(() => { quitting = true; browser.kill(); process.exit(0); }); });
})();
