// zirvon for VS Code: starts `zirvon --lsp` for MML files, adds commands
// that play from the cursor, a selection or a block (with tracks soloed or
// muted, or looping), marks the notes that sound while a passage plays, and
// enters notes from a MIDI keyboard at the cursor.
import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions, ExecuteCommandRequest } from 'vscode-languageclient/node';
import { EntryState, entryLengths, entryStatus, lengthLabel } from './entry';

interface SoundingNote {
  track: number;
  line: number;
  character: number;
  endCharacter: number;
}
interface Playing {
  uri: string;
  version?: number;
  tick: number;
  time: string;
  block: number;
  notes: SoundingNote[];
}
interface Stopped {
  uri: string;
  reason: 'end' | 'stopped' | 'error';
  message?: string;
}
type Bound = { line: number; character?: number };

let client: LanguageClient | undefined;

/// What every play takes besides its passage, the block lenses' included.
const options = { solo: new Set<number>(), mute: new Set<number>(), loop: false };

// The last passage asked for, and the time now playing (none once stopped):
// changed options are heard at once.
let last: Record<string, unknown> | undefined;
let playingTime: string | undefined;

function withOptions(argument: Record<string, unknown>): Record<string, unknown> {
  last = argument;
  const out = { ...argument };
  if (options.solo.size) out.solo = [...options.solo].sort();
  if (options.mute.size) out.mute = [...options.mute].sort();
  if (options.loop) out.loop = true;
  return out;
}

const playhead = vscode.window.createTextEditorDecorationType({
  backgroundColor: new vscode.ThemeColor('zirvon.playhead'),
  borderRadius: '2px',
});

function editorsOf(uri: string): readonly vscode.TextEditor[] {
  return vscode.window.visibleTextEditors.filter((e) => e.document.uri.toString() === uri);
}

function showPlaying(p: Playing, status: vscode.StatusBarItem): void {
  const ranges = p.notes.map((n) => new vscode.Range(n.line, n.character, n.line, n.endCharacter));
  for (const editor of editorsOf(p.uri)) {
    // A frame of an older text: its notes no longer stand where it says.
    const current = p.version === undefined || editor.document.version === p.version;
    editor.setDecorations(playhead, current ? ranges : []);
  }
  playingTime = p.time;
  status.text = `$(play) block ${p.block}  ${p.time}`;
  status.show();
}

function showStopped(s: Stopped, status: vscode.StatusBarItem): void {
  for (const editor of editorsOf(s.uri)) editor.setDecorations(playhead, []);
  playingTime = undefined;
  status.hide();
  if (s.reason === 'error') void vscode.window.showErrorMessage(`zirvon: ${s.message ?? 'playing stopped'}`);
}

async function play(from?: Bound, to?: Bound, until?: Bound): Promise<void> {
  const editor = vscode.window.activeTextEditor;
  if (!editor) return;
  const argument: Record<string, unknown> = { uri: editor.document.uri.toString() };
  if (from) argument.from = from;
  if (to) argument.to = to;
  if (until) argument.until = until;
  return send(argument);
}

async function send(argument: Record<string, unknown>): Promise<void> {
  if (!client) return;
  try {
    await client.sendRequest(ExecuteCommandRequest.type, { command: 'zirvon.play', arguments: [withOptions(argument)] });
  } catch (e) {
    void vscode.window.showErrorMessage(`zirvon: ${e instanceof Error ? e.message : String(e)}`);
  }
}

/// Asks for track numbers 1 to 8 and turns each in or out of `set`; none
/// clears it.
async function toggleTracks(set: Set<number>, what: string): Promise<void> {
  const answer = await vscode.window.showInputBox({
    prompt: `Tracks to ${what} or un-${what} (1 to 8, e.g. "2" or "1 3"); empty: ${what} none`,
    validateInput: (text) =>
      text.split(/[\s,]+/).filter(Boolean).every((w) => /^[1-8]$/.test(w)) ? undefined : 'track numbers 1 to 8',
  });
  if (answer === undefined) return;
  const tracks = answer.split(/[\s,]+/).filter(Boolean).map(Number);
  if (!tracks.length) set.clear();
  for (const t of tracks) {
    if (set.has(t)) set.delete(t);
    else set.add(t);
  }
  showOptions();
}

/// Says the options and, while something plays, plays it again with them:
/// from where it is, or from the loop's start when it loops.
function showOptions(): void {
  const list = (set: Set<number>) => (set.size ? [...set].sort().join(',') : 'none');
  void vscode.window.showInformationMessage(
    `zirvon: solo ${list(options.solo)} · mute ${list(options.mute)} · loop ${options.loop ? 'on' : 'off'}`,
  );
  if (playingTime !== undefined && last) void send(options.loop ? last : { ...last, from: playingTime });
}

/// Entry's state as the server last said it, and the length chosen.
let entry: EntryState = { active: false, length: '' };

async function entryCommand(argument: Record<string, unknown>): Promise<void> {
  if (!client) return;
  try {
    await client.sendRequest(ExecuteCommandRequest.type, { command: 'zirvon.entry', arguments: [argument] });
  } catch (e) {
    void vscode.window.showErrorMessage(`zirvon: ${e instanceof Error ? e.message : String(e)}`);
  }
}

/// Shows the state; after each insertion the cursor goes to the place that
/// follows it, so that what is typed meanwhile lands after it.
function showEntry(state: EntryState, item: vscode.StatusBarItem): void {
  entry = state;
  const text = entryStatus(state);
  if (text) {
    item.text = text;
    item.show();
  } else {
    item.hide();
  }
  if (state.message) void vscode.window.showWarningMessage(`zirvon: ${state.message}`);
  const editor = vscode.window.activeTextEditor;
  if (editor && state.active && state.position && editor.document.uri.toString() === state.uri) {
    const at = new vscode.Position(state.position.line, state.position.character);
    editor.selection = new vscode.Selection(at, at);
  }
}

function newClient(status: vscode.StatusBarItem, entryItem: vscode.StatusBarItem): LanguageClient {
  const settings = vscode.workspace.getConfiguration('zirvon');
  const port = settings.get<string>('port', '');
  const serverOptions: ServerOptions = { command: settings.get<string>('path', 'zirvon'), args: ['--lsp'] };
  const clientOptions: LanguageClientOptions = {
    documentSelector: [{ language: 'mml' }],
    initializationOptions: {
      ...(port ? { port } : {}),
      inlayHints: settings.get<boolean>('inlayHints', true),
      entryPort: settings.get<string>('entryPort', ''),
      restKey: settings.get<number>('restKey', 21),
    },
    // Sends settings.zirvon on every change: the server turns its hints on or off.
    synchronize: { configurationSection: 'zirvon' },
    middleware: {
      // A block lens plays with the solo, mute and loop of the moment.
      executeCommand: (command, args, next) =>
        next(command, command === 'zirvon.play' && args[0] ? [withOptions(args[0]), ...args.slice(1)] : args),
    },
  };
  const c = new LanguageClient('zirvon', 'zirvon', serverOptions, clientOptions);
  c.onNotification('zirvon/playing', (p: Playing) => showPlaying(p, status));
  c.onNotification('zirvon/stopped', (s: Stopped) => showStopped(s, status));
  c.onNotification('zirvon/entry', (e: EntryState) => showEntry(e, entryItem));
  return c;
}

export async function activate(context: vscode.ExtensionContext): Promise<void> {
  const status = vscode.window.createStatusBarItem(vscode.StatusBarAlignment.Left);
  status.command = 'zirvon.stopPlaying';
  status.tooltip = 'zirvon: stop playing';
  const entryItem = vscode.window.createStatusBarItem(vscode.StatusBarAlignment.Left);
  entryItem.command = 'zirvon.toggleEntry';
  entryItem.tooltip = 'zirvon: keyboard entry is on; click to stop it';
  client = newClient(status, entryItem);
  context.subscriptions.push(
    status,
    entryItem,
    playhead,
    // The program and the port are the server's from its start: a new one
    // takes them. The hints follow through the synchronized section.
    vscode.workspace.onDidChangeConfiguration(async (e) => {
      if (!e.affectsConfiguration('zirvon.path') && !e.affectsConfiguration('zirvon.port')) return;
      const old = client;
      client = undefined;
      status.hide();
      entryItem.hide();
      await old?.stop().catch(() => undefined);
      client = newClient(status, entryItem);
      await client.start().catch((err) =>
        vscode.window.showErrorMessage(`zirvon: the language server did not start: ${err instanceof Error ? err.message : err}`),
      );
    }),
    vscode.commands.registerCommand('zirvon.playFromCursor', () => {
      const at = vscode.window.activeTextEditor?.selection.active;
      return at && play({ line: at.line, character: at.character });
    }),
    vscode.commands.registerCommand('zirvon.playSelection', () => {
      const editor = vscode.window.activeTextEditor;
      if (!editor) return;
      const { start, end } = editor.selection;
      const from = { line: start.line, character: start.character };
      // An empty selection plays the note at the cursor; else up to the last
      // note, rest or ']' that starts inside the selection.
      if (editor.selection.isEmpty) return play(from, from);
      return play(from, undefined, { line: end.line, character: end.character });
    }),
    vscode.commands.registerCommand('zirvon.playBlock', () => {
      const at = vscode.window.activeTextEditor?.selection.active;
      return at && play({ line: at.line }, { line: at.line });
    }),
    vscode.commands.registerCommand('zirvon.stopPlaying', () =>
      client?.sendRequest(ExecuteCommandRequest.type, { command: 'zirvon.stop', arguments: [] }),
    ),
    vscode.commands.registerCommand('zirvon.solo', () => toggleTracks(options.solo, 'solo')),
    vscode.commands.registerCommand('zirvon.mute', () => toggleTracks(options.mute, 'mute')),
    vscode.commands.registerCommand('zirvon.loop', () => {
      options.loop = !options.loop;
      showOptions();
    }),
    vscode.commands.registerCommand('zirvon.toggleEntry', () => {
      if (entry.active) return entryCommand({ action: 'stop' });
      const editor = vscode.window.activeTextEditor;
      if (!editor) return;
      const at = editor.selection.active;
      return entryCommand({
        action: 'start',
        uri: editor.document.uri.toString(),
        position: { line: at.line, character: at.character },
        length: entry.length,
      });
    }),
    vscode.commands.registerCommand('zirvon.entryLength', async () => {
      const picked = await vscode.window.showQuickPick(
        entryLengths.map((length) => ({ label: lengthLabel(length), length })),
        { placeHolder: `Length of the notes entered (now ${lengthLabel(entry.length)})` },
      );
      if (!picked) return;
      entry = { ...entry, length: picked.length };
      return entryCommand({ action: 'length', length: picked.length });
    }),
    vscode.commands.registerCommand('zirvon.enterRest', () => entryCommand({ action: 'rest' })),
  );
  await client.start();
}

export function deactivate(): Thenable<void> | undefined {
  return client?.stop();
}
