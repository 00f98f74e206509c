// Drives the browser page in headless Chromium for the tests:
//
//   node run_page.mjs compare  PAGE SCRIPT CLI   the page's replay of SCRIPT must print exactly
//                                                what `CLI replay SCRIPT` prints
//   node run_page.mjs refuses  PAGE SCRIPT TEXT  the page refuses SCRIPT, naming TEXT
//   node run_page.mjs screenshot PAGE SCRIPT OUT.png
//                                                the window after SCRIPT, 1542 × 841 pixels
//   node run_page.mjs interact PAGE              a list's drop-down, the flow-mode buttons, the
//                                                tuning dialog's keys and close button, and "退出"
//   node run_page.mjs startup  PAGE [RUNS]       milliseconds from opening to the window shown
//
// Chromium is the Debian `chromium` (CHROMIUM overrides it); the page is opened from disk.
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const WINDOW = { width: 1542, height: 841 };  // Form1's client area, 23130 × 12615 twips ÷ 15

// Browsers still running; a run that hangs ends them and fails.
const running = new Set();
setTimeout(() => {
  for (const browser of running) browser.kill('SIGKILL');
  console.error('no answer from the page within 100 s');
  process.exit(1);
}, 100000).unref();

function chromium(args) {
  const profile = mkdtempSync(join(tmpdir(), 'aphcalc-chromium-'));
  try {
    return execFileSync(process.env.CHROMIUM || 'chromium', [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run',
      `--user-data-dir=${profile}`, ...args,
    ], { encoding: 'utf8', maxBuffer: 64 << 20, stdio: ['ignore', 'pipe', 'ignore'] });
  } finally {
    rmSync(profile, { recursive: true, force: true });
  }
}

// Chromium driven over the DevTools protocol on a pipe, in real time: `work(send, browser,
// requests)` gets functions that send a command to the page (or to the browser) and resolve with
// its result, and the list of the addresses the page has requested.
async function withBrowser(work) {
  const profile = mkdtempSync(join(tmpdir(), 'aphcalc-chromium-'));
  const browser = spawn(process.env.CHROMIUM || 'chromium', [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run',
    `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  running.add(browser);
  browser.once('exit', () => running.delete(browser));
  const [toBrowser, fromBrowser] = [browser.stdio[3], browser.stdio[4]];
  let nextId = 1;
  const waiting = new Map();
  const requests = [];  // every request a page made, once Network.enable was sent
  let pending = '';
  fromBrowser.on('data', (chunk) => {
    pending += chunk.toString('utf8');
    let end;
    while ((end = pending.indexOf('\0')) >= 0) {
      const message = JSON.parse(pending.slice(0, end));
      pending = pending.slice(end + 1);
      if (message.method === 'Network.requestWillBeSent') requests.push(message.params.request.url);
      const reply = waiting.get(message.id);
      if (reply) {
        waiting.delete(message.id);
        if (message.error) reply.reject(new Error(message.error.message));
        else reply.resolve(message.result);
      }
    }
  });
  const command = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    toBrowser.write(`${JSON.stringify({ id, method, params, sessionId })}\0`);
  });
  try {
    const { targetInfos } = await command('Target.getTargets');
    const target = targetInfos.find((info) => info.type === 'page');
    const { sessionId } = await command('Target.attachToTarget',
                                        { targetId: target.targetId, flatten: true });
    return await work((method, params) => command(method, params, sessionId), command, requests);
  } finally {
    const exited = new Promise((resolve) => browser.once('exit', resolve));
    await Promise.race([command('Browser.close').catch(() => {}), sleep(2000)]);
    await Promise.race([exited, sleep(5000).then(() => browser.kill('SIGKILL'))]);
    rmSync(profile, { recursive: true, force: true, maxRetries: 5 });
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function pageAddress(page, script) {
  const address = pathToFileURL(resolve(page)).href;
  if (!script) return address;
  const encoded = readFileSync(script).toString('base64url');
  return `${address}#replay=${encoded}`;
}

// The page after a replay, as Chromium serialises it.
function replayedDom(page, script) {
  return chromium(['--virtual-time-budget=10000', '--dump-dom', pageAddress(page, script)]);
}

function unescapeHtml(text) {
  return text.replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&nbsp;/g, '\u00a0')
    .replace(/&quot;/g, '"').replace(/&#39;/g, "'").replace(/&amp;/g, '&');
}

// The replay output element: its attributes and its text.
function replayOutput(dom) {
  const match = /<pre id="replay-output"([^>]*)>([\s\S]*?)<\/pre>/.exec(dom);
  if (!match) throw new Error('the page has no replay output');
  return { attributes: match[1], text: unescapeHtml(match[2]) };
}

function fail(message) {
  console.error(message);
  process.exit(1);
}

const [command, page, ...rest] = process.argv.slice(2);
switch (command) {
  case 'compare': {
    const [script, cli] = rest;
    const expected = execFileSync(cli, ['replay', script], { encoding: 'utf8' });
    const output = replayOutput(replayedDom(page, script));
    if (output.text !== expected) {
      const base = join(tmpdir(), `aphcalc-web-${process.pid}`);
      writeFileSync(`${base}.page.json`, output.text);
      writeFileSync(`${base}.cli.json`, expected);
      const lines = [output.text.split('\n'), expected.split('\n')];
      const first = lines[0].findIndex((line, k) => line !== lines[1][k]);
      fail(`the page and aphcalc-cli differ on ${script} at line ${first + 1}:\n` +
           `  page: ${lines[0][first]}\n  cli:  ${lines[1][first]}\n` +
           `(both in ${base}.{page,cli}.json)`);
    }
    break;
  }
  case 'refuses': {
    const [script, reason] = rest;
    const output = replayOutput(replayedDom(page, script));
    if (!/data-refused="true"/.test(output.attributes)) fail(`not refused: ${output.text}`);
    if (!output.text.includes(reason)) fail(`the refusal does not name "${reason}": ${output.text}`);
    break;
  }
  case 'screenshot': {
    const [script, out] = rest;
    chromium(['--virtual-time-budget=10000', `--screenshot=${resolve(out)}`,
              `--window-size=${WINDOW.width},${WINDOW.height}`, '--hide-scrollbars',
              pageAddress(page, script)]);
    const png = readFileSync(out);
    const signature = png.subarray(1, 4).toString('latin1');
    const width = png.readUInt32BE(16);
    const height = png.readUInt32BE(20);
    if (signature !== 'PNG') fail(`${out} is not a PNG picture`);
    if (width !== WINDOW.width || height !== WINDOW.height) {
      fail(`the picture is ${width} × ${height}, not ${WINDOW.width} × ${WINDOW.height}`);
    }
    console.log(`${out}: ${width} × ${height}, ${png.length} bytes`);
    break;
  }
  case 'interact': {
    const problems = await withBrowser(async (pageSend, browser, requests) => {
      let send = pageSend;
      // A page opened after another (its window keeps a history) cannot close its window.
      await send('Page.navigate', { url: 'data:text/html,before' });
      await sleep(300);
      await send('Network.enable');
      await send('Page.navigate', { url: pageAddress(page) });
      const evaluate = async (expression) => {
        const { result, exceptionDetails } = await send('Runtime.evaluate',
          { expression, returnByValue: true, awaitPromise: true });
        if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
        return result.value;
      };
      const key = async (keyName, code) => {
        for (const type of ['keyDown', 'keyUp']) {
          await send('Input.dispatchKeyEvent',
                     { type, key: keyName, code, windowsVirtualKeyCode: code === 'Escape' ? 27 : 0 });
        }
      };
      const ready = () => evaluate('!!document.documentElement.dataset.modelReadyMs')
        .catch(() => false);  // the page may still be coming in
      for (let waited = 0; !(await ready()); waited += 50) {
        if (waited > 10000) return ['the model never became ready'];
        await sleep(50);
      }
      const found = [];
      const expect = async (what, expression, expected) => {
        const value = await evaluate(expression);
        if (JSON.stringify(value) !== JSON.stringify(expected)) {
          found.push(`${what}: ${JSON.stringify(value)}, expected ${JSON.stringify(expected)}`);
        }
      };
      const model = (path) => `(page.refresh(), page.view.${path})`;
      await expect('the window starts usable', 'document.getElementById("Form1").inert', false);
      // The page is all there is: it asks nothing of anyone, not even of the disk.
      const others = requests.filter((url) => url !== pageAddress(page));
      if (others.length) found.push(`requests beside the page itself: ${others.join(', ')}`);
      // A list takes a typed text, and an entry picked from its drop-down.
      await evaluate('page.type(document.getElementById("Combo3"), "11.5")');
      await expect('typed into Combo3', model('fields.Combo3'),
                   { text: '11.5', enabled: true, red: false, listIndex: -1 });
      await evaluate('document.querySelector("#Combo3-box .combo-button").click()');
      await expect('the drop-down opens', 'document.querySelector("#Combo3-box .combo-list").hidden',
                   false);
      await evaluate('document.querySelectorAll("#Combo3-box .combo-entry")[2].click()');
      await expect('entry 7 picked', model('fields.Combo3'),
                   { text: '7', enabled: true, red: false, listIndex: 2 });
      await expect('the field shows it', 'document.getElementById("Combo3").value', '7');
      await expect('the drop-down closes', 'document.querySelector("#Combo3-box .combo-list").hidden',
                   true);
      // The mass-flow button disables the volume flows on the page.
      await evaluate('document.getElementById("Option5").click(); page.busy');
      await expect('Text8 disabled', 'document.getElementById("Text8").disabled', true);
      await expect('Text61 enabled', 'document.getElementById("Text61").disabled', false);
      // "HTC" shows Form2; Escape does not leave it; its close button discards what was typed.
      await evaluate('window.tuning = page.run("Command1"), true');
      await sleep(100);
      await expect('Form2 is shown', 'document.getElementById("Form2").open', true);
      await expect('Form2 is titled', 'document.querySelector("#Form2 .title").textContent', 'Form2');
      await evaluate('page.type(document.getElementById("Form2-Text38"), "2")');
      await key('Escape', 'Escape');
      await sleep(100);
      await expect('Escape keeps Form2', 'document.getElementById("Form2").open', true);
      await evaluate('document.querySelector("#Form2 .title-close").click(); window.tuning');
      await expect('closing discards Form2', model('dialogs.Form2'), null);
      await expect('and its element', '!!document.getElementById("Form2")', false);
      // "退出": a page opened after another cannot close its window; it starts afresh.
      await evaluate('page.type(document.getElementById("Text9"), "400")');
      await evaluate('page.run("Command2")');
      await expect('fresh window: Text9', 'document.getElementById("Text9").value', '350');
      await expect('fresh window: Combo3', 'document.getElementById("Combo3").value', '10');
      await expect('fresh window: no flow mode', 'document.getElementById("Option5").checked', false);
      await expect('fresh window: Text8 enabled', 'document.getElementById("Text8").disabled', false);
      await expect('fresh window: not exited', model('exited'), false);
      // Opened on its own in a new window, the page closes it.
      const { targetId } = await browser('Target.createTarget', { url: pageAddress(page) });
      const { sessionId } = await browser('Target.attachToTarget', { targetId, flatten: true });
      send = (method, params) => browser(method, params, sessionId);
      for (let waited = 0; !(await ready()); waited += 50) {
        if (waited > 10000) return [...found, 'the second window never became ready'];
        await sleep(50);
      }
      await evaluate('page.run("Command2"), true');
      for (let waited = 0; ; waited += 100) {
        const { targetInfos } = await browser('Target.getTargets');
        if (!targetInfos.some((info) => info.targetId === targetId)) break;
        if (waited > 5000) {
          found.push('"退出" left the window of a page opened on its own');
          break;
        }
        await sleep(100);
      }
      return found;
    });
    if (problems.length) fail(problems.join('\n'));
    break;
  }
  case 'startup': {
    // Real time: the page records when the window was first painted and when the model behind
    // it was ready, in milliseconds from the start of navigation.
    const runs = Number(rest[0] || 5);
    for (let k = 0; k < runs; ++k) {
      const times = await withBrowser(async (send) => {
        // Opened in a browser that is already running and has shown Chinese text before, as a
        // person opens it: the first page a browser ever draws waits for its own start too.
        const before = join(tmpdir(), `aphcalc-before-${process.pid}.html`);
        writeFileSync(before, '<meta charset="utf-8"><p style="font-family: SimSun, 宋体, ' +
                              '\'Noto Serif CJK SC\', serif">板式空预器 <b>热力计算</b></p>');
        await send('Page.navigate', { url: pathToFileURL(before).href });
        await sleep(500);
        rmSync(before, { force: true });
        await send('Page.navigate', { url: pageAddress(page) });
        for (let waited = 0; waited < 10000; waited += 50) {
          const { result } = await send('Runtime.evaluate', {
            expression: 'JSON.stringify(document.documentElement.dataset)',
            returnByValue: true,
          });
          const data = JSON.parse(result.value || '{}');
          if (data.modelReadyMs && data.windowShownMs) return data;
          await sleep(50);
        }
        return null;
      });
      if (!times) fail('the page did not report its start-up');
      console.log(`window shown ${times.windowShownMs} ms, model ready ${times.modelReadyMs} ms`);
    }
    break;
  }
  default:
    fail('usage: node run_page.mjs compare|refuses|screenshot|startup PAGE …');
}
