// The page's side of the window: binds the elements of Form1 and its dialogs, made from the
// window model's layout when the page was built, to the model. Every edit goes straight into the
// model; after every handler every element is shown again from the model. Nothing here computes,
// checks or formats a number: that is the model's, compiled to WebAssembly (binding.cpp).
'use strict';

function element(tag, className, parent) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (parent) parent.appendChild(e);
  return e;
}

// A push button that submits nothing.
function pushButton(className, parent, text) {
  const b = element('button', className, parent);
  b.type = 'button';
  if (text) b.textContent = text;
  return b;
}

// A modal dialog of the page with its title bar: the title and the close button.
function dialogFrame(className, title) {
  const box = element('dialog', className, document.body);
  const bar = element('div', 'title-bar', box);
  element('span', 'title', bar).textContent = title;
  const close = pushButton('title-close', bar);
  close.setAttribute('aria-label', '关闭');
  keepFocusInside(box);
  return { box, close };
}

// A modal window keeps the keyboard to itself: Tab and Shift+Tab go round its controls in their
// order, as the desktop's dialogs do. The title bar's close button is for the mouse only.
function keepFocusInside(box) {
  for (const close of box.querySelectorAll('.title-close')) close.tabIndex = -1;
  box.addEventListener('keydown', (event) => {
    if (event.key !== 'Tab') return;
    const stops = [...box.querySelectorAll('input, select, button, textarea')].filter(
      (e) => !e.disabled && e.tabIndex >= 0 && e.getClientRects().length > 0);
    if (stops.length === 0) return;
    const at = stops.indexOf(document.activeElement);
    const next = event.shiftKey ? (at <= 0 ? stops.length - 1 : at - 1)
      : (at + 1) % stops.length;
    stops[next].focus();
    if (stops[next].select) stops[next].select();
    event.preventDefault();
  });
}

// What an <input> shows of a text, which cannot hold a line break: every control character but
// the tab shows as a space, as the desktop's fields show it. The text itself stays the model's.
function displayed(text) {
  return text.replace(/[\u0000-\u0008\u000a-\u001f\u2028\u2029]/g, ' ');
}

// Puts the model's `text` into `input`: shown as far as it can be, held whole for reading back.
function showText(input, text) {
  input.modelText = text;
  const shown = displayed(text);
  if (input.value !== shown) {
    input.value = shown;
    input.scrollLeft = 0;  // a long result shows its leading digits
  }
}

// The text of `input` for the model: the one it was given, unless the person has edited it since
// (or a replay typed it).
function textOf(input) {
  if (input.typedText !== undefined) return input.typedText;
  return input.modelText !== undefined && input.value === displayed(input.modelText)
    ? input.modelText : input.value;
}

// The width of a text in the face and size of an element's computed `style`, in CSS pixels.
const measure = document.createElement('canvas').getContext('2d');
function textWidth(style, text) {
  measure.font = style.font;
  return measure.measureText(text).width;
}

// A field too narrow for its text shows all of it when the mouse rests on it, as on the desktop.
// The text's room keeps the margin clear at the right that it keeps at the left, although a
// longer text shows on into it up to the border.
function tellClipped(input) {
  if (input.getClientRects().length === 0) return;  // not shown: told when it is
  const style = getComputedStyle(input);
  const left = parseFloat(style.paddingLeft);
  const room = input.clientWidth - left - Math.max(left, parseFloat(style.paddingRight));
  const clipped = input.value !== '' && textWidth(style, input.value) > room;
  const whole = input.modelText !== undefined ? input.modelText : input.value;
  if (clipped) {
    if (input.title !== whole) input.title = whole;
  } else if (input.hasAttribute('title')) {
    input.removeAttribute('title');
  }
}

// Where a replacement face sets a caption wider than its place allows, it is condensed just
// enough to fit, never below 85 %, instead of being cut off (as the desktop window does).
function fitCaptions(root) {
  for (const text of root.querySelectorAll('.caption-text')) {
    const box = text.parentElement;
    const room = box.clientWidth - text.offsetLeft;
    const needed = text.scrollWidth;
    if (needed > room && room > 0) {
      text.style.transform = `scaleX(${Math.max(0.85, room / needed)})`;
    }
  }
}

const page = {
  module: null,       // the program: the window model in WebAssembly
  c: null,            // the model's functions
  view: null,         // what every control shows now, from the model
  fields: {},         // Form1 field and list name → its text input
  listBoxes: {},      // list name → its drop-down
  options: {},        // option name → its radio button
  buttons: {},        // button name → its element
  dialogs: {},        // "Form2"/"Form3" → the <dialog> and its inputs, while the model has it
  busy: null,         // the handler running now (a promise), or null
  replaying: null,    // the action of a session script being replayed, or null
  fs: null,           // the program's file system, in the page's memory
  transient: [],      // files put there for the handler running now, gone when it ends
  download: null,     // the link of the last file saved, as the browser got it

  // ---- Connection to the model ----------------------------------------------------------------

  connect(module) {
    this.module = module;
    module.page = this;
    // Case files picked or saved outside a replay are kept in a folder of their own while a
    // handler works on them; the names are the files' own, so they are relative to it.
    this.fs = module.FS;
    this.fs.chdir('/home/web_user');
    const c = (name, returns, args) => module.cwrap(name, returns, args);
    this.c = {
      reset: c('aph_reset', null, []),
      view: c('aph_view', 'string', []),
      setText: c('aph_set_text', null, ['string', 'string']),
      selectEntry: c('aph_select_entry', null, ['string', 'number']),
      setDialogText: c('aph_set_dialog_text', null, ['string', 'string', 'string']),
      ensureDialog: c('aph_ensure_dialog', null, ['string']),
      parseScript: c('aph_parse_script', 'string', ['string']),
      snapshot: c('aph_snapshot', 'string', []),
      pickEntry: c('aph_pick_entry', 'number', ['string', 'string']),
      readLimit: c('aph_case_file_read_limit', 'number', []),
      unreadable: c('aph_file_unreadable', null, ['string', 'string']),
    };
  },

  // A text for the model, in memory it frees.
  toC(text) {
    const size = this.module.lengthBytesUTF8(text) + 1;
    const pointer = this.module._malloc(size);
    this.module.stringToUTF8(text, pointer, size);
    return pointer;
  },

  // ---- Binding the elements -------------------------------------------------------------------

  bind() {
    const form = document.getElementById('Form1');
    for (const input of form.querySelectorAll('input.field')) {
      const name = input.dataset.field;
      this.fields[name] = input;
      input.addEventListener('input', () => {
        const text = textOf(input);
        input.modelText = text;
        this.c.setText(name, text);
      });
    }
    for (const box of form.querySelectorAll('.combo')) this.bindList(box);
    for (const radio of form.querySelectorAll('input[data-option]')) {
      this.options[radio.dataset.option] = radio;
      radio.addEventListener('click', () => this.run(radio.dataset.option));
    }
    for (const button of form.querySelectorAll('button[data-button]')) {
      this.buttons[button.dataset.button] = button;
      button.addEventListener('click', () => this.run(button.dataset.button));
    }
    document.addEventListener('mousedown', (event) => this.closeListsOutside(event.target));
    fitCaptions(form);
    form.inert = false;
  },

  // An editable list: a text field with a drop-down of the entries.
  bindList(box) {
    const input = box.querySelector('input.field');
    const open = box.querySelector('.combo-button');
    const list = box.querySelector('.combo-list');
    const name = input.dataset.field;
    this.listBoxes[name] = list;
    [...list.children].forEach((item, index) => {
      item.addEventListener('mousedown', (event) => event.preventDefault());
      item.addEventListener('click', () => {
        list.hidden = true;
        this.c.selectEntry(name, index);
        this.refresh();
        input.focus();
      });
    });
    input.addEventListener('keydown', (event) => {
      if (event.key === 'F4' || (event.altKey && event.key === 'ArrowDown')) {
        list.hidden = !list.hidden;
        event.preventDefault();
      } else if (event.key === 'Escape') {
        list.hidden = true;
      }
    });
    open.addEventListener('click', () => {
      if (input.disabled) return;
      list.hidden = !list.hidden;
      input.focus();
    });
  },

  closeListsOutside(target) {
    for (const list of Object.values(this.listBoxes))
      if (!list.hidden && !list.parentElement.contains(target)) list.hidden = true;
  },

  // The dialog of a form the model has created: a copy of its template, hidden until a handler
  // shows it.
  createDialog(name) {
    const template = document.getElementById(`${name}-template`);
    const root = template.content.firstElementChild.cloneNode(true);
    document.body.appendChild(root);
    const dialog = {
      element: root,
      inputs: {},
      ok: root.querySelector('.dialog-ok'),
      close: root.querySelector('.title-close'),
    };
    for (const input of root.querySelectorAll('input.field')) {
      const field = input.dataset.field;
      dialog.inputs[field] = input;
      input.addEventListener('input', () => {
        const text = textOf(input);
        input.modelText = text;
        // Shown, the dialog hands its texts over when it is left; hidden, it takes them now.
        if (!root.open) this.c.setDialogText(name, field, text);
      });
    }
    // No cancel button: Escape does not leave the dialog, nor discard what was typed. Should a
    // browser close it all the same, it is shown again: only its two buttons leave it.
    root.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') event.preventDefault();
    });
    root.addEventListener('cancel', (event) => event.preventDefault());
    keepFocusInside(root);
    root.addEventListener('close', () => {
      if (dialog.answering && root.isConnected) root.showModal();
    });
    this.dialogs[name] = dialog;
    return dialog;
  },

  // ---- Showing the model ----------------------------------------------------------------------

  refresh() {
    const view = JSON.parse(this.c.view());
    this.view = view;
    for (const [name, state] of Object.entries(view.fields)) {
      const input = this.fields[name];
      showText(input, state.text);
      input.disabled = !state.enabled;
      input.classList.toggle('red', state.red);
      const list = this.listBoxes[name];
      if (list) {
        [...list.children].forEach((item, index) =>
          item.classList.toggle('selected', index === state.listIndex));
      }
    }
    for (const [name, selected] of Object.entries(view.options)) this.options[name].checked = selected;
    for (const [name, state] of Object.entries(view.dialogs)) {
      let dialog = this.dialogs[name];
      if (!state) {
        if (dialog) {
          if (dialog.element.open) dialog.element.close();
          dialog.element.remove();
          delete this.dialogs[name];
        }
        continue;
      }
      if (!dialog) dialog = this.createDialog(name);
      if (!dialog.element.open) {
        for (const [field, text] of Object.entries(state.texts)) showText(dialog.inputs[field], text);
      }
    }
    for (const input of document.querySelectorAll('input.field')) tellClipped(input);
  },

  // ---- Handlers -------------------------------------------------------------------------------

  // A click on an option button or a button runs its handler in the model; one at a time.
  run(control) {
    if (this.busy) return this.busy;
    this.busy = (async () => {
      try {
        await Promise.resolve(
          this.module.ccall('aph_click', null, ['string'], [control], { async: true }));
      } finally {
        this.busy = null;
        this.removeTransientFiles();
        this.refresh();
      }
      if (this.view.exited && !this.replaying) this.exit();
    })();
    return this.busy;
  },

  // "退出": the program ends. A page can close its window only where the browser allows it;
  // otherwise the window starts afresh, as a new start of the program would show it.
  exit() {
    window.close();
    if (window.closed) return;
    this.c.reset();
    this.refresh();
  },

  // ---- What the handlers ask (called by the model while the handler waits) ---------------------

  messageBox(text, title, warning, withCancel) {
    this.refresh();
    const { box, close } = dialogFrame('message-box', title);
    const body = element('div', 'message-body', box);
    if (warning) element('span', 'message-icon warning', body).setAttribute('aria-label', '警告');
    element('p', 'message-text', body).textContent = text;
    const buttons = element('div', 'message-buttons', box);
    const ok = pushButton('button', buttons, '确定');
    const pressed = [ok, close];
    if (withCancel) pressed.push(pushButton('button', buttons, '取消'));
    box.showModal();
    ok.focus();
    // Which button was pressed is never examined; Escape leaves the box as Cancel would.
    const closed = this.leftBy(box, pressed).then(() => undefined);
    if (this.replaying) setTimeout(() => ok.click(), 0);  // message boxes are answered with OK
    return closed;
  },

  // Form2 or Form3 shown modally: "确定" hides it, the close button discards it; either way the
  // texts typed go back to the model.
  showDialog(name, texts) {
    this.refresh();
    const dialog = this.dialogs[name] || this.createDialog(name);
    for (const [field, text] of Object.entries(texts)) showText(dialog.inputs[field], text);
    dialog.element.showModal();
    fitCaptions(dialog.element);
    for (const input of Object.values(dialog.inputs)) tellClipped(input);
    // Its first field has the focus with its text selected, as on the desktop.
    const first = Object.values(dialog.inputs)[0];
    if (first) {
      first.focus();
      first.select();
    }
    const answered = new Promise((resolve) => {
      const leave = (closed) => {
        dialog.ok.removeEventListener('click', onOk);
        dialog.close.removeEventListener('click', onClose);
        const typed = {};
        for (const [field, input] of Object.entries(dialog.inputs)) typed[field] = textOf(input);
        dialog.answering = false;
        dialog.element.close();
        resolve({ closed, texts: typed });
      };
      dialog.answering = true;
      const onOk = () => leave(false);
      const onClose = () => leave(true);
      dialog.ok.addEventListener('click', onOk);
      dialog.close.addEventListener('click', onClose);
    });
    if (this.replaying) setTimeout(() => this.answerDialog(dialog), 0);
    return answered;
  },

  // "打开" picks a file with the browser's file picker and puts it where the handler reads it;
  // "另存为" asks for a file name. Either gives the name (a browser tells a page no folder), or
  // null when cancelled. A replay gives the script's path, in the files the replay was given.
  chooseFile(request) {
    this.refresh();
    if (request.kind === 'open') {
      if (this.replaying) return Promise.resolve(this.replaying.file);
      return this.pickFile(request).then((file) => (file ? this.putPickedFile(file) : null));
    }
    return this.askSaveName(request);
  },

  // The browser's picker, offering the files of the preselected filter first.
  pickFile(request) {
    return new Promise((resolve) => {
      const input = element('input', 'file-picker', document.body);
      input.type = 'file';
      input.hidden = true;
      const preselected = request.filters[request.filterIndex - 1];
      if (preselected && preselected[1] !== '*.*') input.accept = preselected[1].replace(/^\*/, '');
      const picked = (file) => {
        input.remove();
        resolve(file);
      };
      input.addEventListener('change', () => picked(input.files[0] || null), { once: true });
      input.addEventListener('cancel', () => picked(null), { once: true });
      input.click();
    });
  },

  // The picked file, as far as a case file may go and one byte more (a larger one is refused for
  // its size, unread), into the program's file system under its own name. A file the browser
  // cannot read (gone or changed since it was picked) is refused with the browser's reason.
  async putPickedFile(file) {
    const name = file.name;
    try {
      const bytes = await file.slice(0, this.c.readLimit()).arrayBuffer();
      this.fs.writeFile(name, new Uint8Array(bytes));
      this.transient.push(name);
    } catch (error) {
      this.c.unreadable(name, (error && error.message) || String(error));
    }
    return name;
  },

  // Files put into the program's file system for a handler (picked, or saved and downloaded) are
  // removed when it ends: the page keeps no copy of anyone's files.
  removeTransientFiles() {
    for (const name of this.transient.splice(0)) {
      try {
        this.fs.unlink(name);
      } catch (error) {
        // Already gone.
      }
    }
  },

  // A case file written by "另存为" at `path`: the browser gets it as a download under the file's
  // name. A replay keeps it where it was written, for the script's later steps, and downloads
  // nothing.
  saved(path) {
    const name = path.slice(path.lastIndexOf('/') + 1);
    const bytes = this.fs.readFile(path);
    if (!this.download) {
      this.download = element('a', '', document.body);
      this.download.id = 'case-download';
      this.download.hidden = true;
    } else {
      URL.revokeObjectURL(this.download.href);
    }
    this.download.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    this.download.download = name;
    if (this.replaying) return;
    this.download.click();
    this.transient.push(path);
  },

  // The list of a file's load cases: one is picked with "确定" (or a double click), the first
  // preselected; "取消" or the close button cancel. Gives the entry's index, or null.
  chooseFromList(request) {
    this.refresh();
    const { box, close } = dialogFrame('list-box', request.title);
    const body = element('div', 'list-body', box);
    const prompt = element('label', 'list-prompt', body);
    prompt.textContent = request.prompt;
    const list = element('select', 'list-entries', body);
    list.id = 'list-entries';
    prompt.htmlFor = list.id;
    list.size = Math.min(Math.max(request.entries.length, 4), 10);
    for (const entry of request.entries) element('option', '', list).textContent = entry;
    list.selectedIndex = 0;
    const buttons = element('div', 'message-buttons', box);
    const ok = pushButton('button', buttons, '确定');
    const cancel = pushButton('button', buttons, '取消');
    list.addEventListener('dblclick', () => ok.click());
    list.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') ok.click();
    });
    box.showModal();
    list.focus();
    const closed = this.leftBy(box, [ok, cancel, close], (button) =>
      button === ok && list.selectedIndex >= 0 ? list.selectedIndex : null);
    if (this.replaying) {
      // The script's answer, picked as aphcalc-cli replay picks it.
      const picked = this.c.pickEntry(JSON.stringify(this.replaying.case),
                                      JSON.stringify(request.entries));
      setTimeout(() => {
        if (picked < 0) {
          cancel.click();
        } else {
          list.selectedIndex = picked;
          ok.click();
        }
      }, 0);
    }
    return closed;
  },

  // A modal prompt for the name to save under, with the filter list of the request.
  askSaveName(request) {
    const { box, close } = dialogFrame('file-dialog', '另存为');
    const rows = element('div', 'file-rows', box);
    const nameLabel = element('label', '', rows);
    nameLabel.textContent = '文件名：';
    const name = element('input', 'field file-name', rows);
    name.type = 'text';
    name.id = 'save-name';
    nameLabel.htmlFor = name.id;
    const typeLabel = element('label', '', rows);
    typeLabel.textContent = '保存类型：';
    const type = element('select', 'file-type', rows);
    type.id = 'save-type';
    typeLabel.htmlFor = type.id;
    request.filters.forEach(([caption], index) => {
      const option = element('option', '', type);
      option.textContent = caption;
      option.selected = index === request.filterIndex - 1;
    });
    const buttons = element('div', 'message-buttons', box);
    const save = pushButton('button', buttons, '保存');
    const cancel = pushButton('button', buttons, '取消');
    name.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') save.click();
    });
    box.showModal();
    name.focus();
    // "保存" needs a name; it gives the name with the file type chosen (the model adds its
    // extension to a name without one), cancelling gives null.
    const closed = this.leftBy(box, [save, cancel, close], (button) =>
      button !== save ? null : textOf(name) === ''
        ? undefined : { path: textOf(name), filter: type.selectedIndex + 1 });
    if (this.replaying) {
      const answer = this.replaying.file;
      setTimeout(() => {
        if (answer === null) {
          cancel.click();
        } else {
          this.type(name, answer);
          save.click();
        }
      }, 0);
    }
    return closed;
  },

  // Resolves when one of `buttons` is pressed (or Escape is hit) with what `result` makes of
  // the button, and closes the modal `box`; a result of undefined keeps it open. The answer
  // does not wait for the box's close event, which a browser may deliver only with its next
  // frame.
  leftBy(box, buttons, result = () => null) {
    return new Promise((resolve) => {
      const leave = (button) => {
        const value = result(button);
        if (value === undefined) return;
        box.close();
        box.remove();
        resolve(value);
      };
      for (const button of buttons) button.addEventListener('click', () => leave(button));
      box.addEventListener('cancel', (event) => {
        event.preventDefault();
        leave(null);
      });
    });
  },

  // ---- Replay of a session script (#replay=…) -------------------------------------------------

  // Types a text into an input as a person would: the whole text replaced. The model gets the
  // text as typed, line breaks included, whatever the input can show of it.
  type(input, text) {
    input.typedText = text;
    input.value = displayed(text);
    try {
      input.dispatchEvent(new Event('input', { bubbles: true }));
    } finally {
      delete input.typedText;
    }
    input.modelText = text;
  },

  answerDialog(dialog) {
    const answer = this.replaying && this.replaying.dialog;
    if (answer && answer.close) {
      dialog.close.click();
      return;
    }
    if (answer) for (const [field, text] of answer.texts) this.type(dialog.inputs[field], text);
    dialog.ok.click();
  },

  // The files a replay is given, in the program's file system: {"folders": {path: mode},
  // "files": {path: base64 of the bytes}}. The folders get their permission bits once the files
  // are in them, so that a folder nobody may write to refuses a save as it does on a disk.
  seedFiles(seed) {
    const folders = Object.entries(seed.folders || {}).sort(([a], [b]) => a.length - b.length);
    for (const [folder] of folders) this.fs.mkdirTree(folder);
    for (const [path, base64] of Object.entries(seed.files || {})) {
      const folder = path.slice(0, path.lastIndexOf('/')) || '/';
      this.fs.mkdirTree(folder);
      this.fs.writeFile(path, Uint8Array.from(atob(base64), (ch) => ch.charCodeAt(0)));
    }
    for (const [folder, mode] of folders.reverse()) this.fs.chmod(folder, mode);
  },

  // After a replay: every file the script names, as the replay left it (null: there is none).
  replayedFiles(actions) {
    const files = {};
    for (const action of actions) {
      if (typeof action.file !== 'string' || action.file in files) continue;
      const found = this.fs.analyzePath(action.file);
      files[action.file] = found.exists && found.object && this.fs.isFile(found.object.mode)
        ? new TextDecoder().decode(this.fs.readFile(action.file)) : null;
    }
    return files;
  },

  async replay(text) {
    const output = document.getElementById('replay-output');
    const parsed = JSON.parse(this.c.parseScript(text));
    if (parsed.error) {
      output.dataset.refused = 'true';
      output.textContent = `aphcalc: ${parsed.error}\n`;
      return;
    }
    for (const action of parsed.actions) {
      if (this.view.exited) break;
      if (action.set) {
        for (const [form, field, text] of action.set) {
          if (form) {
            if (!this.dialogs[form]) {
              this.c.ensureDialog(form);
              this.refresh();
            }
            this.type(this.dialogs[form].inputs[field], text);
          } else {
            this.type(this.fields[field], text);
          }
        }
        continue;
      }
      this.replaying = action;
      try {
        const target = this.options[action.click] || this.buttons[action.click];
        target.click();
        await this.busy;
      } finally {
        this.replaying = null;
      }
    }
    const files = element('pre', '', document.body);
    files.id = 'replay-files';
    files.hidden = true;
    files.textContent = JSON.stringify(this.replayedFiles(parsed.actions));
    output.textContent = this.c.snapshot();
  },
};

// The UTF-8 text of base64url.
function base64urlText(encoded) {
  const base64 = encoded.replace(/-/g, '+').replace(/_/g, '/').replace(/=+$/, '');
  const padded = base64 + '='.repeat((4 - (base64.length % 4)) % 4);
  const bytes = Uint8Array.from(atob(padded), (ch) => ch.charCodeAt(0));
  return new TextDecoder('utf-8', { fatal: false }).decode(bytes);
}

// What a #replay=SCRIPT[&files=FILES] address asks for: the script's text and the files it is
// given (their JSON, see seedFiles), both base64url of UTF-8.
function replayOf(hash) {
  const match = /^#replay=([A-Za-z0-9_-]*=*)(?:&files=([A-Za-z0-9_-]*=*))?$/.exec(hash);
  if (!match) return null;
  return { script: base64urlText(match[1]), files: match[2] ? base64urlText(match[2]) : null };
}

// Start-up, in milliseconds from the start of navigation, kept on the page for tests: when the
// window was first painted (it is in the page itself), and when the model behind it was ready.
function recordStartup(name, ms) {
  document.documentElement.dataset[name] = ms.toFixed(1);
}

new PerformanceObserver((entries, observer) => {
  for (const entry of entries.getEntries()) {
    if (entry.name !== 'first-contentful-paint') continue;
    recordStartup('windowShownMs', entry.startTime);
    observer.disconnect();
  }
}).observe({ type: 'paint', buffered: true });

// A part of the program as it stands in the page, gzip in base64: its bytes, once unpacked.
async function programPart(id) {
  const source = document.getElementById(id);
  const packed = Uint8Array.from(atob(source.textContent.trim()), (ch) => ch.charCodeAt(0));
  source.remove();
  const unpacked = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
  return new Response(unpacked).arrayBuffer();
}

// The program starts once the window has been painted; then the page binds to it and, for a
// #replay= address, replays the script.
async function startProgram() {
  const [wasmBinary, programText] = await Promise.all(
    [programPart('program-wasm'), programPart('program')]);
  // The program's text stands in the page unrun; it runs now, defining createProgram.
  const code = document.createElement('script');
  code.textContent = new TextDecoder().decode(programText);
  document.head.appendChild(code);
  const program = createProgram({
    wasmBinary,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
  });
  // Compiled while it is made, the program is ready when its ready promise settles.
  const module = await Promise.resolve(program.ready || program);
  page.connect(module);
  page.bind();
  page.refresh();
  recordStartup('modelReadyMs', performance.now());
  const replay = replayOf(location.hash);
  if (replay === null) return;
  await (async () => {
    if (replay.files !== null) page.seedFiles(JSON.parse(replay.files));
    await page.replay(replay.script);
  })().catch((error) => {
    const output = document.getElementById('replay-output');
    output.dataset.failed = 'true';
    output.textContent = `aphcalc: the replay failed: ${(error && error.stack) || error}\n`;
  });
}

// Right after the first frame; where no frame comes (a browser drawing only on request, as a
// headless one taking a picture), shortly after the page has been read.
let programStarted = false;
function startProgramOnce() {
  if (programStarted) return;
  programStarted = true;
  startProgram().catch((error) => {
    // A browser without WebAssembly or gzip streams: the window stays as drawn, inert.
    document.documentElement.dataset.programFailed = String(error);
    console.error(error);
  });
}
window.addEventListener('DOMContentLoaded', () => {
  requestAnimationFrame(() => setTimeout(startProgramOnce, 0));
  setTimeout(startProgramOnce, 100);
});
