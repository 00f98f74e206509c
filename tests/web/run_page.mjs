// Drives the browser page in headless Chromium for the tests:
//
//   node run_page.mjs compare  PAGE SCRIPT CLI FILES EXAMPLES
//                                                the page's replay of SCRIPT must print exactly
//                                                what `CLI replay SCRIPT` prints, and leave the
//                                                files it names as the CLI leaves them
//   node run_page.mjs refuses  PAGE SCRIPT TEXT  the page refuses SCRIPT, naming TEXT
//   node run_page.mjs screenshot PAGE SCRIPT OUT.png
//                                                the window after SCRIPT, 1542 × 841 pixels
//   node run_page.mjs interact PAGE CLI EXAMPLES FILES
//                                                a list's drop-down, a clipped field's cut and
//                                                hover text, the flow-mode buttons, the
//                                                tuning dialog's keys (Tab, Shift+Tab, Escape)
//                                                and close button, "另存为"
//                                                (a download) and "打开" (the browser's picker),
//                                                and "退出"
//   node run_page.mjs startup  PAGE [RUNS]       milliseconds from opening to the window shown
//   node run_page.mjs same-picture A.png B.png   the two pictures alike: the same size, and at
//                                                most 0.02 % of the pixels apart by more than 24
//                                                in a colour (a glyph's edge drawn a shade apart)
//
// In a script, "@DIR@" stands for a fresh folder holding a copy of FILES and "@EXAMPLES@" for
// EXAMPLES, as for the desktop window's replays. The page replays it with the files it names
// given to it (a browser page reads no disk): each file that exists with its bytes, each folder
// that holds one with its permission bits.
//
// Chromium is the Debian `chromium` (CHROMIUM overrides it); the page is opened from disk.
import { execFileSync, spawn } from 'node:child_process';
import {
  cpSync, existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync,
  writeFileSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import { inflateSync } from 'node:zlib';
import { basename, dirname, join, resolve } from 'node:path';
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
  const events = [];    // every event of the browser and its pages: {method, params}
  let pending = '';
  fromBrowser.on('data', (chunk) => {
    pending += chunk.toString('utf8');
    let end;
    while ((end = pending.indexOf('\0')) >= 0) {
      const message = JSON.parse(pending.slice(0, end));
      pending = pending.slice(end + 1);
      if (message.method === 'Network.requestWillBeSent') requests.push(message.params.request.url);
      if (message.method) events.push({ method: message.method, params: message.params });
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
    return await work((method, params) => command(method, params, sessionId), command, requests,
                      events);
  } finally {
    const exited = new Promise((resolve) => browser.once('exit', resolve));
    await Promise.race([command('Browser.close').catch(() => {}), sleep(2000)]);
    await Promise.race([exited, sleep(5000).then(() => browser.kill('SIGKILL'))]);
    rmSync(profile, { recursive: true, force: true, maxRetries: 5 });
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The pixels of an 8-bit PNG picture (grey, RGB or RGBA, not interlaced), as Chromium and Qt
// write them: {width, height, channels, data}, row after row.
function pngPixels(png) {
  const header = png.subarray(16, 29);
  const [width, height] = [header.readUInt32BE(0), header.readUInt32BE(4)];
  const channels = { 0: 1, 2: 3, 4: 2, 6: 4 }[header[9]];
  if (header[8] !== 8 || !channels || header[12] !== 0) throw new Error('not an 8-bit PNG');
  const packed = [];
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    if (png.toString('latin1', at + 4, at + 8) === 'IDAT') {
      packed.push(png.subarray(at + 8, at + 8 + length));
    }
    at += length + 12;
  }
  const rows = inflateSync(Buffer.concat(packed));
  const stride = width * channels;
  const data = Buffer.alloc(height * stride);
  for (let y = 0; y < height; ++y) {
    const filter = rows[y * (stride + 1)];
    for (let x = 0; x < stride; ++x) {
      const left = x >= channels ? data[y * stride + x - channels] : 0;
      const up = y > 0 ? data[(y - 1) * stride + x] : 0;
      const corner = x >= channels && y > 0 ? data[(y - 1) * stride + x - channels] : 0;
      let base = 0;
      if (filter === 1) base = left;
      else if (filter === 2) base = up;
      else if (filter === 3) base = (left + up) >> 1;
      else if (filter === 4) {
        // Paeth: the one of left, up and corner nearest to left + up - corner, in that order.
        const [a, b, c] = [Math.abs(up - corner), Math.abs(left - corner),
                           Math.abs(left + up - 2 * corner)];
        base = a <= b && a <= c ? left : b <= c ? up : corner;
      }
      data[y * stride + x] = (rows[y * (stride + 1) + 1 + x] + base) & 0xff;
    }
  }
  return { width, height, channels, data };
}

function pageAddress(page, script, files) {
  const address = pathToFileURL(resolve(page)).href;
  if (!script) return address;
  const encoded = readFileSync(script).toString('base64url');
  const given = files ? `&files=${Buffer.from(JSON.stringify(files)).toString('base64url')}` : '';
  return `${address}#replay=${encoded}${given}`;
}

// The page after a replay, as Chromium serialises it.
function replayedDom(page, script, files) {
  return chromium(['--virtual-time-budget=10000', '--dump-dom', pageAddress(page, script, files)]);
}

// A script with its placeholders filled in, written into a folder of its own; `fresh()` makes
// "@DIR@" a fresh copy of FILES again.
function preparedScript(script, filesFolder, examples) {
  const work = mkdtempSync(join(tmpdir(), 'aphcalc-web-replay-'));
  const name = basename(script, '.json');
  const dir = join(work, name);
  const text = readFileSync(script, 'utf8').replaceAll('@DIR@', dir)
    .replaceAll('@EXAMPLES@', resolve(examples));
  const path = join(work, `${name}.script.json`);
  writeFileSync(path, text);
  const fresh = () => {
    rmSync(dir, { recursive: true, force: true });
    mkdirSync(dir);
    if (filesFolder) cpSync(filesFolder, dir, { recursive: true });
  };
  return { path, text, fresh, remove: () => rmSync(work, { recursive: true, force: true }) };
}

// The paths a script gives its file buttons.
function namedPaths(text) {
  const paths = new Set();
  for (const action of JSON.parse(text).actions || []) {
    if (typeof action.file === 'string') paths.add(action.file);
  }
  return [...paths];
}

const isFile = (path) => existsSync(path) && statSync(path).isFile();

// What the page is given of the disk: the files the script names, and their folders.
function givenFiles(text) {
  const given = { folders: {}, files: {} };
  for (const path of namedPaths(text)) {
    if (isFile(path)) given.files[path] = readFileSync(path).toString('base64');
    const folder = dirname(path);
    if (existsSync(folder) && statSync(folder).isDirectory()) {
      given.folders[folder] = statSync(folder).mode & 0o7777;
    }
  }
  return given;
}

// The files a script names as a replay left them on disk; the time a case was saved aside.
function filesOnDisk(text) {
  const files = {};
  for (const path of namedPaths(text)) files[path] = isFile(path) ? readFileSync(path, 'utf8') : null;
  return files;
}
const withoutSaveTime = (files) => JSON.stringify(files, (key, value) =>
  typeof value === 'string' ? value.replace(/"saved": "[^"]*"/g, '"saved": ""') : value);

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

// The files the script names as the page's replay left them.
function replayFiles(dom) {
  const match = /<pre id="replay-files"[^>]*>([\s\S]*?)<\/pre>/.exec(dom);
  if (!match) throw new Error('the page does not show the files of its replay');
  return JSON.parse(unescapeHtml(match[1]));
}

function fail(message) {
  console.error(message);
  process.exit(1);
}

const [command, page, ...rest] = process.argv.slice(2);
switch (command) {
  case 'compare': {
    const [original, cli, filesFolder, examples] = rest;
    const prepared = preparedScript(original, filesFolder, examples);
    const script = prepared.path;
    let expected, expectedFiles, dom;
    try {
      prepared.fresh();
      expected = execFileSync(cli, ['replay', script], { encoding: 'utf8' });
      expectedFiles = filesOnDisk(prepared.text);
      prepared.fresh();
      dom = replayedDom(page, script, givenFiles(prepared.text));
    } finally {
      prepared.remove();
    }
    const output = replayOutput(dom);
    const files = replayFiles(dom);
    if (withoutSaveTime(files) !== withoutSaveTime(expectedFiles)) {
      fail(`the page and aphcalc-cli leave different files on ${original}:\n` +
           `  page: ${JSON.stringify(files)}\n  cli:  ${JSON.stringify(expectedFiles)}`);
    }
    if (output.text !== expected) {
      const base = join(tmpdir(), `aphcalc-web-${process.pid}`);
      writeFileSync(`${base}.page.json`, output.text);
      writeFileSync(`${base}.cli.json`, expected);
      const lines = [output.text.split('\n'), expected.split('\n')];
      const first = lines[0].findIndex((line, k) => line !== lines[1][k]);
      fail(`the page and aphcalc-cli differ on ${original} at line ${first + 1}:\n` +
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
    const [cli, examples, filesFolder] = rest;
    const downloads = mkdtempSync(join(tmpdir(), 'aphcalc-downloads-'));
    const problems = await withBrowser(async (pageSend, browser, requests, events) => {
      let send = pageSend;
      // A page opened after another (its window keeps a history) cannot close its window.
      await send('Page.navigate', { url: 'data:text/html,before' });
      await sleep(300);
      await send('Network.enable');
      await send('Page.navigate', { url: pageAddress(page) });
      // A gesture of the person (the browser shows a file picker only upon one) when asked.
      const evaluate = async (expression, userGesture = false) => {
        const { result, exceptionDetails } = await send('Runtime.evaluate',
          { expression, returnByValue: true, awaitPromise: true, userGesture });
        if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
        return result.value;
      };
      const key = async (keyName, code, modifiers = 0) => {  // 8: with Shift
        const windowsVirtualKeyCode = { Escape: 27, Tab: 9 }[code] || 0;
        for (const type of ['keyDown', 'keyUp']) {
          await send('Input.dispatchKeyEvent',
                     { type, key: keyName, code, windowsVirtualKeyCode, modifiers });
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
      // A text too long for its field runs on to the border and is cut there, through a
      // character (a row of full blocks leaves no gap at any place the cut may fall), and the
      // field tells its whole text on hover; a text that fits leaves the margin clear.
      const edge = async (field, text) => {
        await evaluate(`page.type(document.getElementById("${field}"), "${text}"), page.refresh()`);
        const box = await evaluate(`(() => {
          const r = document.getElementById("${field}").getBoundingClientRect();
          return { x: r.x, y: r.y, width: r.width, height: r.height };
        })()`);
        const { data } = await send('Page.captureScreenshot',
                                    { format: 'png', clip: { ...box, scale: 1 } });
        const picture = pngPixels(Buffer.from(data, 'base64'));
        let darkest = 255;  // in the column inside the right border, between the top and bottom
        for (let y = 3; y < picture.height - 3; ++y) {
          const at = (y * picture.width + picture.width - 2) * picture.channels;
          darkest = Math.min(darkest, ...picture.data.subarray(at, at + Math.min(3, picture.channels)));
        }
        return [darkest < 128, await evaluate(`document.getElementById("${field}").title`)];
      };
      await send('Emulation.setDeviceMetricsOverride',
                 { ...WINDOW, deviceScaleFactor: 1, mobile: false });  // the whole window shown
      const blocks = '\u2588'.repeat(12);
      for (const [text, expected] of [[blocks, [true, blocks]], ['350', [false, '']]]) {
        const seen = await edge('Text9', text);
        if (JSON.stringify(seen) !== JSON.stringify(expected)) {
          found.push(`"${text}" in Text9: [ink at the border, hover text] ${JSON.stringify(seen)}, ` +
                     `expected ${JSON.stringify(expected)}`);
        }
      }
      // The mass-flow button disables the volume flows on the page.
      await evaluate('document.getElementById("Option5").click(); page.busy');
      await expect('Text8 disabled', 'document.getElementById("Text8").disabled', true);
      await expect('Text61 enabled', 'document.getElementById("Text61").disabled', false);
      // "HTC" shows Form2; Escape does not leave it; its close button discards what was typed.
      await evaluate('window.tuning = page.run("Command1"), true');
      await sleep(100);
      await expect('Form2 is shown', 'document.getElementById("Form2").open', true);
      await expect('Form2 is titled', 'document.querySelector("#Form2 .title").textContent', 'Form2');
      // Its first field has the focus, its text selected; Tab and Shift+Tab go round its four
      // fields and "确定" in the desktop's order, never to the title bar's close button nor out.
      const focused = `(() => {
        const e = document.activeElement;
        return [e.id, e.selectionStart === 0 && e.selectionEnd === e.value.length];
      })()`;
      await expect('Form2 opens on its first field', focused, ['Form2-Text37', true]);
      for (const [modifiers, order] of [[0, ['Text38', 'Text39', 'Text40', 'Command1', 'Text37']],
                                        [8, ['Command1', 'Text40', 'Text39', 'Text38', 'Text37']]]) {
        const seen = [];
        for (let k = 0; k < order.length; ++k) {
          await key('Tab', 'Tab', modifiers);
          seen.push(await evaluate('document.activeElement.id'));
        }
        const expected = order.map((id) => `Form2-${id}`);
        if (JSON.stringify(seen) !== JSON.stringify(expected)) {
          found.push(`${modifiers ? 'Shift+Tab' : 'Tab'} in Form2: ${JSON.stringify(seen)}, ` +
                     `expected ${JSON.stringify(expected)}`);
        }
      }
      await expect('Tab selects the field it comes to', focused, ['Form2-Text37', true]);
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

      // Waits up to 10 s for `expression` to hold.
      const until = async (what, expression) => {
        for (let waited = 0; !(await evaluate(expression)); waited += 50) {
          if (waited > 10000) throw new Error(`${what} never happened`);
          await sleep(50);
        }
      };
      // The message box shown now: title, text, icon, buttons; left with "确定".
      const messageBox = async () => {
        await until('a message box', '!!document.querySelector("dialog.message-box[open]")');
        const box = await evaluate(`(() => {
          const box = document.querySelector("dialog.message-box[open]");
          return { title: box.querySelector(".title").textContent,
                   text: box.querySelector(".message-text").textContent,
                   warning: !!box.querySelector(".message-icon.warning"),
                   buttons: [...box.querySelectorAll(".message-buttons .button")]
                     .map((b) => b.textContent) };
        })()`);
        await evaluate('document.querySelector("dialog.message-box[open] .button").click()');
        return box;
      };
      const nothingKept = async (after) => expect(`no file kept in the page after ${after}`,
        'page.fs.readdir(".").filter((name) => name !== "." && name !== "..")', []);
      // "打开" with the browser's picker answered with `file`, as a person picks one.
      const pickFile = async (file) => {
        const seen = events.length;
        await evaluate('window.opening = page.run("Command4"), true', true);
        for (let waited = 0; ; waited += 50) {
          const opened = events.slice(seen).find((e) => e.method === 'Page.fileChooserOpened');
          if (opened) {
            await send('DOM.setFileInputFiles',
                       { files: [file], backendNodeId: opened.params.backendNodeId });
            return;
          }
          if (waited > 10000) throw new Error('"打开" showed no file picker');
          await sleep(50);
        }
      };

      // "另存为": the name asked for, the window's case file downloaded under it, the name shown.
      await browser('Browser.setDownloadBehavior',
                    { behavior: 'allow', downloadPath: downloads, eventsEnabled: true });
      await evaluate('page.type(document.getElementById("Text9"), "321")');
      await evaluate('window.saving = page.run("Command5"), true');
      await until('the name prompt', '!!document.getElementById("save-name")');
      await expect('the save filters', '[...document.querySelectorAll("#save-type option")]' +
                   '.map((o) => [o.textContent, o.selected])',
                   [['All Files (*.*)', false], ['Text _Files (*.txt)', true],
                    ['Batch Files (*.bat)', false]]);
      await evaluate('page.type(document.getElementById("save-name"), "工况 A.txt")');
      await evaluate('document.querySelector(".file-dialog .message-buttons .button").click()');
      const savedBox = await messageBox();
      await evaluate('window.saving');
      if (JSON.stringify(savedBox) !== JSON.stringify(
            { title: 'aphcalc', text: '工况 A.txt', warning: false, buttons: ['确定'] })) {
        found.push(`the box after "另存为": ${JSON.stringify(savedBox)}`);
      }
      await expect('the download link', 'document.getElementById("case-download").download',
                   '工况 A.txt');
      const downloaded = join(downloads, '工况 A.txt');
      for (let waited = 0; !existsSync(downloaded); waited += 100) {
        if (waited > 10000) throw new Error('"另存为" downloaded nothing');
        await sleep(100);
      }
      await sleep(200);  // the browser renames the finished download into place
      const saved = JSON.parse(readFileSync(downloaded, 'utf8'));
      if (saved.name !== '工况 A' || saved.flue_gas.inlet_temperature !== '321' ||
          saved.air.inlet_temperature !== '40') {
        found.push(`the downloaded case file: ${JSON.stringify(saved)}`);
      }
      await nothingKept('a save');

      // "打开" with the downloaded file: the window it was saved from comes back.
      await send('Page.enable');
      await send('Page.setInterceptFileChooserDialog', { enabled: true });
      await evaluate('page.type(document.getElementById("Text9"), "1")');
      await pickFile(downloaded);
      const openedBox = await messageBox();
      await evaluate('window.opening');
      if (openedBox.text !== '工况 A.txt' || openedBox.warning) {
        found.push(`the box after "打开": ${JSON.stringify(openedBox)}`);
      }
      await expect('the saved window is back: Text9', 'document.getElementById("Text9").value',
                   '321');
      await nothingKept('an open');

      // A file that is not a case file is refused with the error form; the window stays.
      await pickFile(resolve(filesFolder, 'typo.json'));
      const refused = await messageBox();
      await evaluate('window.opening');
      if (JSON.stringify(refused) !== JSON.stringify({
            title: '出错！',
            text: '文件“typo.json”不是可读的工况文件：“plate.pair”：未知的参数，是否应为“pairs”？',
            warning: true, buttons: ['确定', '取消'] })) {
        found.push(`the refusal of typo.json: ${JSON.stringify(refused)}`);
      }
      await expect('the refused file leaves the window: Text9',
                   'document.getElementById("Text9").value', '321');

      // A CSV case table (GB18030, as Excel saves one) offers its load cases; a workbook is
      // refused with what to do instead.
      await pickFile(resolve(examples, 'cases', 'boiler-loads.csv'));
      await until('the CSV\'s load cases', '!!document.querySelector("dialog.list-box[open]")');
      await expect('the CSV\'s load cases',
                   '[...document.querySelectorAll("dialog.list-box[open] option")]' +
                   '.map((o) => o.textContent)', ['100 % 负荷', '75 % 负荷', '50 % 负荷']);
      await evaluate(`document.querySelector("dialog.list-box[open] select")
        .dispatchEvent(new MouseEvent("dblclick", { bubbles: true }))`);
      const csvBox = await messageBox();
      await evaluate('window.opening');
      if (csvBox.text !== 'boiler-loads.csv') {
        found.push(`the box after opening boiler-loads.csv: ${JSON.stringify(csvBox)}`);
      }
      await pickFile(resolve(examples, 'cases', 'boiler-loads.xlsx'));
      const workbook = await messageBox();
      await evaluate('window.opening');
      if (!workbook.text.startsWith('文件“boiler-loads.xlsx”不是可读的工况文件：网页版不能读取 Excel')) {
        found.push(`the refusal of boiler-loads.xlsx: ${JSON.stringify(workbook)}`);
      }
      await nothingKept('a case table');

      // A file of load cases: the list of their names, the second picked; then the window is
      // the one aphcalc-cli replay opens with the same answer.
      const loads = resolve(examples, 'cases', 'boiler-loads.json');
      await pickFile(loads);
      await until('the list of load cases', '!!document.querySelector("dialog.list-box[open]")');
      await expect('the list', `(() => {
        const box = document.querySelector("dialog.list-box[open]");
        return [box.querySelector(".title").textContent, box.querySelector(".list-prompt").textContent,
                [...box.querySelectorAll("option")].map((o) => o.textContent),
                box.querySelector("select").selectedIndex];
      })()`, ['选择工况', '文件“boiler-loads.json”中有 3 个工况，请选择一个：',
              ['100 % 负荷', '75 % 负荷', '50 % 负荷'], 0]);
      await evaluate(`(() => {
        const list = document.querySelector("dialog.list-box[open] select");
        list.selectedIndex = 1;
        list.dispatchEvent(new MouseEvent("dblclick", { bubbles: true }));
      })()`);
      const loadsBox = await messageBox();
      await evaluate('window.opening');
      if (loadsBox.text !== 'boiler-loads.json') {
        found.push(`the box after opening boiler-loads.json: ${JSON.stringify(loadsBox)}`);
      }
      const script = join(downloads, 'open-loads.json');
      writeFileSync(script, JSON.stringify(
        { actions: [{ click: 'Command4', file: loads, case: 2 }] }));
      const windowOf = (snapshot) => {
        const { messages, ...window } = JSON.parse(snapshot);
        return JSON.stringify(window);
      };
      const expectedWindow = windowOf(execFileSync(cli, ['replay', script], { encoding: 'utf8' }));
      if (windowOf(await evaluate('page.c.snapshot()')) !== expectedWindow) {
        found.push('the window after opening the second load case differs from aphcalc-cli\'s');
      }
      await nothingKept('a list of load cases');
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
    }).finally(() => rmSync(downloads, { recursive: true, force: true }));
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
  case 'same-picture': {
    const [a, b] = [page, rest[0]].map((file) => pngPixels(readFileSync(file)));
    if (a.width !== b.width || a.height !== b.height) {
      fail(`${a.width} × ${a.height} against ${b.width} × ${b.height} pixels`);
    }
    let apart = 0;
    for (let k = 0; k < a.width * a.height; ++k) {
      for (let c = 0; c < 3; ++c) {
        const [x, y] = [a, b].map((p) => p.data[k * p.channels + Math.min(c, p.channels - 1)]);
        if (Math.abs(x - y) > 24) {
          ++apart;
          break;
        }
      }
    }
    if (apart > a.width * a.height / 5000) fail(`${apart} pixels differ`);
    break;
  }
  default:
    fail('usage: node run_page.mjs compare|refuses|screenshot|startup|same-picture PAGE …');
}
