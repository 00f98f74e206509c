// node assemble_page.mjs SHELL WINDOW CSS JS PROGRAM.js PROGRAM.wasm OUT
// Makes the one-file page: the shell with the window's elements, the page's style and script,
// and the program's JavaScript and WebAssembly, both compressed with gzip and written in base64,
// each where its marker stands. The program is kept as data, not run while the page is read, so
// that the window is painted first; compressed, the page is less than half the size to read.
import { readFileSync, writeFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';

const [shell, window, style, script, program, wasm, out] = process.argv.slice(2);
const text = (path) => readFileSync(path, 'utf8');
const packed = (path) => gzipSync(readFileSync(path), { level: 9 }).toString('base64');
const parts = {
  '<!-- window -->': text(window),
  '/* page.css */': text(style),
  '/* page.js */': text(script),
  '/* program */': packed(program),
  '/* program.wasm */': packed(wasm),
};
let page = text(shell);
for (const [marker, content] of Object.entries(parts)) {
  if (!page.includes(marker)) throw new Error(`${shell} has no ${marker}`);
  page = page.replace(marker, () => content);
}
writeFileSync(out, page);
