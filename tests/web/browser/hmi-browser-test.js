// The operator page in a real browser against the real station polling a real Modbus slave:
// live values, a preset button that writes the slave's register, acknowledging an alarm,
// and a viewer who is offered no action. Screenshots at desktop and phone sizes.
//
// Environment: HALVANE (the program), PEERS (the folder of modbus_slave.py), OUT (where
// the screenshots go), NODE_PATH (where npm ci put puppeteer-core).
'use strict';

const assert = require('node:assert/strict');
const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const PYTHON = '/usr/bin/python3';
const here = __dirname;
const children = [];

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

function start(program, args, env = {}) {
  const child = spawn(program, args, {
    env: { ...process.env, ...env }, stdio: ['ignore', 'inherit', 'inherit'],
  });
  children.push(child);
  return child;
}

// Ends every program started here, the station before the slave it polls.
async function stopAll() {
  for (const child of children.reverse()) {
    if (child.exitCode !== null || child.signalCode !== null)
      continue;
    const ended = new Promise((resolve) => child.once('exit', resolve));
    child.kill('SIGTERM');
    const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
    await ended;
    clearTimeout(timer);
  }
}

async function waitFor(what, condition, timeoutMs = 15000) {
  const end = Date.now() + timeoutMs;
  let last;
  while (Date.now() < end) {
    try {
      last = await condition();
      if (last)
        return last;
    } catch (e) {
      last = e.message;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error(`timed out waiting for ${what} (last: ${last})`);
}

function register(slavePort, ...args) {
  return execFileSync(PYTHON, [path.join(here, 'modbus_register.py'), String(slavePort), ...args],
    { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }).trim();
}

function addUser(root, name, role, password) {
  execFileSync(process.env.HALVANE, ['--data-root', root, '--user-add', name, '--role', role],
    { input: `${password}\n`, env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
}

// A project polling the slave: a level with a high alarm, a pump command written when set,
// and one screen with the level, a preset button and an input of the command.
function writeProject(root, webPort, slavePort) {
  fs.mkdirSync(path.join(root, 'cfg'), { recursive: true });
  fs.writeFileSync(path.join(root, 'cfg/config.cfg'), [
    '[WebServer]', 'Enabled=1', `Port=${webPort}`,
    '[Ethernet.1]', 'enabled=1', 'host=127.0.0.1', `port=${slavePort}`, 'interval=50',
    'writeMode=1',
    '[Channel.0]', 'Name=Tank level', 'Unit=mm', 'Port=4', 'ModuleAddr=1', 'Function=2',
    'RegisterAddr=0', 'Linear=1', 'ACoff=1', 'BCoff=0', 'Format=%0.0f', 'EnableAlert=1',
    'High.Threshold=1500', 'Low.Threshold=0',
    '[Channel.1]', 'Name=Pump command', 'Port=4', 'ModuleAddr=1', 'Function=5',
    'RegisterAddr=10', 'Linear=1', 'ACoff=1', 'BCoff=0', 'Format=%0.0f',
    '[Screens]', 'ScreenCfgId.0=5', ''].join('\n'));
  fs.writeFileSync(path.join(root, 'cfg/screen.5.cfg'), [
    '[General]', 'Title=Plant', 'Width=480', 'Height=240', 'NoOfMarkers=3',
    '[Marker.0]', 'TL=20,20', 'BR=220,60', 'Type=0', 'Channel=0', 'UseStyle=0',
    '[Marker.1]', 'TL=20,100', 'BR=180,140', 'Type=51', 'Channel=1', 'UseStyle=0',
    'AttrStr1=Start pump', 'AttrDouble1=1',
    '[Marker.2]', 'TL=240,100', 'BR=400,140', 'Type=50', 'Channel=1', 'UseStyle=0', ''].join('\n'));
}

// The text of the tag table's value cell of tag `number`.
function tagValue(page, number) {
  return page.$eval(`#tag-table tr[data-tag="${number}"] td.value`, (cell) => cell.textContent);
}

async function main(root) {
  const slavePort = await freePort();
  const webPort = await freePort();
  const base = `http://127.0.0.1:${webPort}`;
  writeProject(root, webPort, slavePort);
  addUser(root, 'olga', 'operator', 'olga-secret');
  addUser(root, 'vera', 'viewer', 'vera-secret');

  start(PYTHON, [path.join(process.env.PEERS, 'modbus_slave.py'), '--tcp', String(slavePort)]);
  await waitFor('the slave', () => register(slavePort, 'read', '0') === '1000');
  start(process.env.HALVANE, ['--data-root', root, '-runtime'], { QT_QPA_PLATFORM: 'offscreen' });

  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
  try {
    const operator = await browser.newPage();
    await operator.setViewport({ width: 1280, height: 800 });
    await operator.authenticate({ username: 'olga', password: 'olga-secret' });
    await waitFor('the page', async () => (await operator.goto(`${base}/hmi/`)).ok());
    await waitFor('the session', async () =>
      (await operator.$eval('#session', (e) => e.textContent)) === 'olga (operator)');

    // Live values: the slave's register, then a change that an independent client makes.
    await waitFor('the level', async () => (await tagValue(operator, 1)).startsWith('1000'));
    register(slavePort, 'write', '0', '2000');
    await waitFor('the changed level', async () => (await tagValue(operator, 1)).startsWith('2000'));

    // A preset button asks first, then writes the slave's register.
    const questions = [];
    operator.on('dialog', (dialog) => {
      questions.push(dialog.message());
      dialog.accept();
    });
    await operator.waitForSelector('#screen-areas .area.preset[data-tag="2"]');
    await operator.click('#screen-areas .area.preset[data-tag="2"]');
    await waitFor('the write', () => register(slavePort, 'read', '10') === '1');
    assert.deepEqual(questions, ['Set Pump command to 1?']);

    // The level above its limit is an alarm that the operator acknowledges.
    const acknowledge = '#alarm-table tr[data-tag="1"] button.acknowledge';
    await operator.waitForSelector(acknowledge, { timeout: 15000 });
    await operator.click(acknowledge);
    await waitFor('the acknowledgement', () =>
      operator.$eval('#alarm-table tr[data-tag="1"]', (row) => row.className === 'acknowledged'));
    assert.equal(await operator.$(acknowledge), null);

    await operator.screenshot({ path: path.join(process.env.OUT, 'hmi-desktop.png') });
    await operator.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true });
    const columns = await operator.$eval('main', (e) => getComputedStyle(e).gridTemplateColumns);
    assert.equal(columns.split(' ').length, 1, `one column on a phone, not ${columns}`);
    await operator.screenshot({ path: path.join(process.env.OUT, 'hmi-phone.png'), fullPage: true });

    // A viewer sees the same plant and no action.
    const context = await browser.createBrowserContext();
    const viewer = await context.newPage();
    await viewer.authenticate({ username: 'vera', password: 'vera-secret' });
    await viewer.goto(`${base}/hmi/`);
    await waitFor('the viewer\'s values', async () => (await tagValue(viewer, 1)).startsWith('2000'));
    await viewer.waitForSelector('#alarm-table tr[data-tag="1"]');
    assert.equal(await viewer.$eval('#screen-list', (e) => e.children.length), 1);
    const controls = await viewer.$$(
      '.area.preset, .area.input, button.acknowledge, button.shelve');
    assert.equal(controls.length, 0, 'a viewer is offered no action');
  } finally {
    await browser.close();
  }
}

const root = fs.mkdtempSync(path.join(os.tmpdir(), 'halvane-hmi-'));
main(root).then(() => console.log('The operator page passed in the browser.'), (error) => {
  console.error(error);
  process.exitCode = 1;
}).finally(async () => {
  await stopAll();
  fs.rmSync(root, { recursive: true, force: true });
});
