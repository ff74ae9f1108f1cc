// The extension's manifest: its key bindings leave VS Code's own and the
// characters of AltGr keyboards alone, and its commands are the ones the
// code registers, play, solo, mute and loop among them.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');

const root = path.join(__dirname, '..');
const manifest = JSON.parse(fs.readFileSync(path.join(root, 'package.json'), 'utf8'));
const source = fs.readFileSync(path.join(root, 'src', 'extension.ts'), 'utf8');

// Default bindings of VS Code (its keyboard shortcuts reference) that a
// chord of ours could take: Save All (Windows and Linux: ctrl+k s; macOS:
// cmd+alt+s), the secondary side bar (cmd+alt+b), and the ctrl+k chords.
const builtIns = new Set(['ctrl+k s', 'cmd+alt+s', 'cmd+alt+b', 'ctrl+alt+b', 'ctrl+k p', 'ctrl+k ctrl+p', 'ctrl+k r',
  'ctrl+k o', 'ctrl+k m', 'ctrl+k u', 'ctrl+k w', 'ctrl+k f', 'ctrl+k v', 'ctrl+k z', 'ctrl+k enter', 'ctrl+k e',
  'cmd+k s', 'cmd+k p', 'cmd+k r', 'cmd+k o', 'cmd+k m', 'cmd+k u', 'cmd+k w', 'cmd+k f', 'cmd+k v', 'cmd+k z',
  'cmd+k enter', 'cmd+k e']);

test('key bindings shadow no built-in and type no AltGr character', () => {
  for (const b of manifest.contributes.keybindings) {
    assert.match(b.when, /editorLangId == mml/, b.command);
    for (const key of [b.key, b.mac]) {
      assert.ok(key, `${b.command} has a key on every system`);
      assert.ok(!builtIns.has(key), `${b.command}: ${key} is VS Code's`);
      // Ctrl+Alt is AltGr on many Windows and Linux layouts: it types.
      assert.doesNotMatch(b.key, /(^| )ctrl\+alt\+[^+]+$/, `${b.command}: ${b.key}`);
    }
  }
});

test('the palette has every command the code registers, and play, solo, mute and loop', () => {
  const listed = manifest.contributes.commands.map((c) => c.command).sort();
  const registered = [...source.matchAll(/registerCommand\('([^']+)'/g)].map((m) => m[1]).sort();
  assert.deepStrictEqual(listed, registered);
  for (const c of ['zirvon.playFromCursor', 'zirvon.solo', 'zirvon.mute', 'zirvon.loop', 'zirvon.stopPlaying']) {
    assert.ok(listed.includes(c), c);
  }
});
