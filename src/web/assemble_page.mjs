// node assemble_page.mjs SHELL WINDOW CSS JS PROGRAM.js PROGRAM.wasm OUT
// Makes the one-file page: the shell with the window's elements, the page's style and script,
// the program's JavaScript, and its WebAssembly compressed with gzip and written in base64, each
// where its marker stands. The program is kept as text, not run while the page is read, so that
// the window is painted first; compressed, the page is less than half the size to read.
import { readFileSync, writeFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';

const [shell, window, style, script, program, wasm, out] = process.argv.slice(2);
const text = (path) => readFileSync(path, 'utf8');
const programText = text(program);
for (const breaking of ['</script', '<!--']) {
  if (programText.toLowerCase().includes(breaking)) {
    throw new Error(`${program} contains ${breaking} and cannot be embedded as it stands`);
  }
}
const binary = gzipSync(readFileSync(wasm), { level: 9 }).toString('base64');
const parts = {
  '<!-- window -->': text(window),
  '/* page.css */': text(style),
  '/* page.js */': text(script),
  '/* program */': programText,
  '/* program.wasm */': binary,
};
let page = text(shell);
for (const [marker, content] of Object.entries(parts)) {
  if (!page.includes(marker)) throw new Error(`${shell} has no ${marker}`);
  page = page.replace(marker, () => content);
}
writeFileSync(out, page);
