// The TextMate grammar under VS Code's own engine (vscode-textmate with the
// Oniguruma regular expressions): lines of the examples and the scope each
// of their tokens gets.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const oniguruma = require('vscode-oniguruma');
const textmate = require('vscode-textmate');

const root = path.join(__dirname, '..');
const examples = path.join(root, '..', '..', 'examples');

async function loadGrammar(theme) {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () =>
      textmate.parseRawGrammar(fs.readFileSync(path.join(root, 'syntaxes', 'mml.tmLanguage.json'), 'utf8'), 'mml.tmLanguage.json'),
    theme,
  });
  return { grammar: await registry.loadGrammar('source.mml'), colours: registry.getColorMap() };
}

/// Each token of a line as [text, innermost scope].
function tokens(grammar, line) {
  const { tokens: list } = grammar.tokenizeLine(line, textmate.INITIAL);
  return list.map((t) => [line.slice(t.startIndex, t.endIndex), t.scopes[t.scopes.length - 1]]);
}

function exampleLine(name, n) {
  return fs.readFileSync(path.join(examples, name), 'utf8').split(/\r?\n/)[n - 1];
}

const N = 'entity.name.function.note.mml';
const NUM = 'constant.numeric.mml';
const CMD = 'keyword.control.command.mml';
const rows = [
  {
    line: exampleLine('canon.mml', 1),
    tokens: [['Little Canon in G, a round for three voices', 'comment.line.outside.mml']],
  },
  {
    line: exampleLine('canon.mml', 4).slice(0, 19),
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.embedded.begin.mml'], ['O', CMD], ['4', NUM],
      [' ', 'meta.block.mml'], ['L', CMD], ['4', NUM], [' ', 'meta.block.mml'], ['Q', CMD], ['7', NUM],
      [' ', 'meta.block.mml'], ['G', N], [' ', 'meta.block.mml'], ['A', N], [' ', 'meta.block.mml'], ['B', N],
      [' ', 'meta.block.mml'], ['G', N], [']', 'punctuation.section.embedded.end.mml']],
  },
  {
    line: exampleLine('canon.mml', 6).slice(0, 15),
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.embedded.begin.mml'], ['D', N],
      ['.', 'keyword.other.dot.mml'], [' ', 'meta.block.mml'], ['E', N], ['8', NUM], [' ', 'meta.block.mml'],
      ['F', N], ['#', 'storage.modifier.accidental.mml'], ['4', NUM], [' ', 'meta.block.mml'], ['G', N], ['4', NUM],
      [']', 'punctuation.section.embedded.end.mml']],
  },
  {
    line: exampleLine('canon.mml', 7).slice(exampleLine('canon.mml', 7).indexOf('3[G%48')),
    tokens: [['3', 'constant.numeric.track.mml'], ['[', 'punctuation.section.embedded.begin.mml'], ['G', N],
      ['%', 'keyword.other.raw-length.mml'], ['48', NUM], [' ', 'meta.block.mml'], ['D', N],
      ['%', 'keyword.other.raw-length.mml'], ['48', NUM], [']', 'punctuation.section.embedded.end.mml'],
      ['       ', 'comment.line.outside.mml'],
      ["; a tie ('&' before its first note), then raw tick lengths", 'comment.line.semicolon.mml']],
  },
  {
    line: exampleLine('canon.mml', 7).slice(0, 12),
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.embedded.begin.mml'],
      ['&', 'keyword.other.tie.mml'], ['G', N], ['2', NUM], [' ', 'meta.block.mml'], ['G', N], ['4', NUM], [' ', 'meta.block.mml'],
      ['R', 'entity.name.type.rest.mml'], ['4', NUM], [']', 'punctuation.section.embedded.end.mml']],
  },
  {
    line: '1[>C< V ; open] bar 12',
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.embedded.begin.mml'],
      ['>', 'keyword.control.octave.mml'], ['C', N], ['<', 'keyword.control.octave.mml'], [' ', 'meta.block.mml'],
      ['V', 'invalid.illegal.unknown-command.mml'], [' ', 'meta.block.mml'],
      ['; open] bar 12', 'comment.line.semicolon.mml']],
  },
  {
    line: 'bar 12 ] 3[C',
    tokens: [['bar ', 'comment.line.outside.mml'], ['12', 'constant.numeric.outside.mml'],
      [' ', 'comment.line.outside.mml'], [']', 'invalid.illegal.stray-bracket.mml'], [' ', 'comment.line.outside.mml'],
      ['3', 'constant.numeric.track.mml'], ['[', 'punctuation.section.embedded.begin.mml'], ['C', N]],
  },
];

test('each line of the table gets its scopes', async () => {
  const { grammar } = await loadGrammar();
  for (const row of rows) assert.deepStrictEqual(tokens(grammar, row.line), row.tokens, row.line);
});

// The default themes' token colours as VS Code ships them (tm-themes keeps
// its dark-plus and light-plus). microsoft/vscode's theme-defaults
// dark_modern.json and light_modern.json include those and add no token
// colours, only their editor.foreground (text no rule colours), written here.
const plus = (name) => require(`tm-themes/themes/${name}.json`);
const themes = [
  { name: 'Dark Modern', rules: plus('dark-plus').tokenColors, foreground: '#CCCCCC' },
  { name: 'Light Modern', rules: plus('light-plus').tokenColors, foreground: '#3B3B3B' },
  { name: 'Dark+', rules: plus('dark-plus').tokenColors, foreground: plus('dark-plus').colors['editor.foreground'] },
  { name: 'Light+', rules: plus('light-plus').tokenColors, foreground: plus('light-plus').colors['editor.foreground'] },
];

/// The foreground VS Code gives each character of a line under a theme.
function colourAt(loaded, line) {
  const { tokens: t } = loaded.grammar.tokenizeLine2(line, textmate.INITIAL);
  const out = [];
  for (let i = 0; i < t.length; i += 2) {
    out.length = i + 2 < t.length ? t[i + 2] : line.length;
    out.fill(loaded.colours[(t[i + 1] >>> 15) & 0x1ff].toUpperCase(), t[i]);
  }
  return out;
}

test('notes, rests, accidentals, octave marks, ties and brackets are coloured by the default themes', async () => {
  // Each sign at its column, with what it is.
  const line = '1[O4 >C#8 &C+ D-4< R4 E]';
  const signs = { note: [6, 11, 14, 22], rest: [19], accidental: [7, 12, 15], octave: [5, 17], tie: [10], bracket: [1, 23] };
  for (const theme of themes) {
    const defaults = { settings: { foreground: theme.foreground, background: '#808080' } };
    const loaded = await loadGrammar({ name: theme.name, settings: [defaults, ...theme.rules] });
    const colours = colourAt(loaded, line);
    for (const [what, columns] of Object.entries(signs)) {
      for (const c of columns) {
        assert.notStrictEqual(colours[c], theme.foreground.toUpperCase(), `${theme.name}: the ${what} '${line[c]}' at ${c}`);
      }
    }
    // A note stands apart from a rest and from the marks around it.
    for (const other of ['rest', 'accidental', 'octave', 'tie', 'bracket']) {
      assert.notStrictEqual(colours[signs.note[0]], colours[signs[other][0]], `${theme.name}: a note and a ${other}`);
    }
  }
});
