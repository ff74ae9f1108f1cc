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

async function loadGrammar() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () =>
      textmate.parseRawGrammar(fs.readFileSync(path.join(root, 'syntaxes', 'mml.tmLanguage.json'), 'utf8'), 'mml.tmLanguage.json'),
  });
  return registry.loadGrammar('source.mml');
}

/// Each token of a line as [text, innermost scope].
function tokens(grammar, line) {
  const { tokens: list } = grammar.tokenizeLine(line, textmate.INITIAL);
  return list.map((t) => [line.slice(t.startIndex, t.endIndex), t.scopes[t.scopes.length - 1]]);
}

function exampleLine(name, n) {
  return fs.readFileSync(path.join(examples, name), 'utf8').split(/\r?\n/)[n - 1];
}

const N = 'entity.name.note.mml';
const NUM = 'constant.numeric.mml';
const CMD = 'keyword.control.command.mml';
const rows = [
  {
    line: exampleLine('canon.mml', 1),
    tokens: [['Little Canon in G, a round for three voices', 'comment.line.outside.mml']],
  },
  {
    line: exampleLine('canon.mml', 4).slice(0, 19),
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.block.begin.mml'], ['O', CMD], ['4', NUM],
      [' ', 'meta.block.mml'], ['L', CMD], ['4', NUM], [' ', 'meta.block.mml'], ['Q', CMD], ['7', NUM],
      [' ', 'meta.block.mml'], ['G', N], [' ', 'meta.block.mml'], ['A', N], [' ', 'meta.block.mml'], ['B', N],
      [' ', 'meta.block.mml'], ['G', N], [']', 'punctuation.section.block.end.mml']],
  },
  {
    line: exampleLine('canon.mml', 6).slice(0, 15),
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.block.begin.mml'], ['D', N],
      ['.', 'keyword.operator.dot.mml'], [' ', 'meta.block.mml'], ['E', N], ['8', NUM], [' ', 'meta.block.mml'],
      ['F', N], ['#', 'keyword.operator.accidental.mml'], ['4', NUM], [' ', 'meta.block.mml'], ['G', N], ['4', NUM],
      [']', 'punctuation.section.block.end.mml']],
  },
  {
    line: exampleLine('canon.mml', 7).slice(exampleLine('canon.mml', 7).indexOf('3[G%48')),
    tokens: [['3', 'constant.numeric.track.mml'], ['[', 'punctuation.section.block.begin.mml'], ['G', N],
      ['%', 'keyword.operator.raw-length.mml'], ['48', NUM], [' ', 'meta.block.mml'], ['D', N],
      ['%', 'keyword.operator.raw-length.mml'], ['48', NUM], [']', 'punctuation.section.block.end.mml'],
      ['       ', 'comment.line.outside.mml'],
      ["; a tie ('&' before its first note), then raw tick lengths", 'comment.line.semicolon.mml']],
  },
  {
    line: exampleLine('canon.mml', 7).slice(0, 12),
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.block.begin.mml'],
      ['&', 'keyword.operator.tie.mml'], ['G', N], ['2', NUM], [' ', 'meta.block.mml'], ['G', N], ['4', NUM], [' ', 'meta.block.mml'],
      ['R', 'entity.name.rest.mml'], ['4', NUM], [']', 'punctuation.section.block.end.mml']],
  },
  {
    line: '1[>C< V ; open] bar 12',
    tokens: [['1', 'constant.numeric.track.mml'], ['[', 'punctuation.section.block.begin.mml'],
      ['>', 'keyword.operator.octave.mml'], ['C', N], ['<', 'keyword.operator.octave.mml'], [' ', 'meta.block.mml'],
      ['V', 'invalid.illegal.unknown-command.mml'], [' ', 'meta.block.mml'],
      ['; open] bar 12', 'comment.line.semicolon.mml']],
  },
  {
    line: 'bar 12 ] 3[C',
    tokens: [['bar ', 'comment.line.outside.mml'], ['12', 'constant.numeric.outside.mml'],
      [' ', 'comment.line.outside.mml'], [']', 'invalid.illegal.stray-bracket.mml'], [' ', 'comment.line.outside.mml'],
      ['3', 'constant.numeric.track.mml'], ['[', 'punctuation.section.block.begin.mml'], ['C', N]],
  },
];

test('each line of the table gets its scopes', async () => {
  const grammar = await loadGrammar();
  for (const row of rows) assert.deepStrictEqual(tokens(grammar, row.line), row.tokens, row.line);
});
