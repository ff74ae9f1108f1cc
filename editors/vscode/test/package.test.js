// The manifest: key bindings that leave VS Code's own and AltGr's characters
// alone, a palette entry for each command the code registers, and keyboard
// entry's settings and status.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');

const root = path.join(__dirname, '..');
const manifest = JSON.parse(fs.readFileSync(path.join(root, 'package.json'), 'utf8'));

// VS Code's defaults (its keyboard shortcuts reference) a chord of ours could
// take: Save All (ctrl+k s; macOS cmd+alt+s), the secondary side bar, ctrl+k chords.
const builtIns = new Set(['ctrl+k s', 'cmd+alt+s', 'cmd+alt+b', 'ctrl+alt+b', 'ctrl+k p', 'ctrl+k ctrl+p', 'ctrl+k r',
  'ctrl+k o', 'ctrl+k m', 'ctrl+k u', 'ctrl+k w', 'ctrl+k f', 'ctrl+k v', 'ctrl+k z', 'ctrl+k enter', 'ctrl+k e']);

test('key bindings shadow no built-in and type no AltGr character', () => {
  for (const b of manifest.contributes.keybindings) {
    assert.match(b.when, /editorLangId == mml/, b.command);
    for (const key of [b.key, b.mac, b.mac.replace(/cmd\+k/g, 'ctrl+k')]) assert.ok(!builtIns.has(key), `${b.command}: ${key}`);
    // Ctrl+Alt is AltGr on many Windows and Linux layouts: it types.
    assert.doesNotMatch(b.key, /(^| )ctrl\+alt\+[^+]+$/, `${b.command}: ${b.key}`);
  }
});

test('the palette lists every command the code registers, solo, mute and loop among them', () => {
  const source = fs.readFileSync(path.join(root, 'src', 'extension.ts'), 'utf8');
  const registered = [...source.matchAll(/registerCommand\('([^']+)'/g)].map((m) => m[1]).sort();
  assert.deepStrictEqual(manifest.contributes.commands.map((c) => c.command).sort(), registered);
  assert.ok(['zirvon.solo', 'zirvon.mute', 'zirvon.loop'].every((c) => registered.includes(c)));
});

test('keyboard entry: a length the server takes for each offered, the state in the status bar while on', () => {
  const { entryLengths, entryStatus } = require('../out/entry.js');
  for (const length of entryLengths) assert.match(length, /^$|^(1|2|4|8|16|32)\.{0,3}$/);
  assert.strictEqual(entryStatus({ active: false, length: '8' }), undefined);
  assert.strictEqual(entryStatus({ active: true, port: 'keys:out', length: '8.' }), '$(record) keys:out · L8.');
  assert.strictEqual(entryStatus({ active: true, port: 'keys:out', length: '' }), '$(record) keys:out · default length');
  const settings = manifest.contributes.configuration.properties;
  assert.strictEqual(settings['zirvon.restKey'].default, 21);
  assert.strictEqual(settings['zirvon.entryPort'].default, '');
});
