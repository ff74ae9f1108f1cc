// zirvon for VS Code: starts `zirvon --lsp` for MML files, adds commands
// that play from the cursor, a selection or a block, and marks the notes
// that sound while a passage plays.
import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions, ExecuteCommandRequest } from 'vscode-languageclient/node';

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
  status.text = `$(play) block ${p.block}  ${p.time}`;
  status.show();
}

function showStopped(s: Stopped, status: vscode.StatusBarItem): void {
  for (const editor of editorsOf(s.uri)) editor.setDecorations(playhead, []);
  status.hide();
  if (s.reason === 'error') void vscode.window.showErrorMessage(`zirvon: ${s.message ?? 'playing stopped'}`);
}

async function play(from?: Bound, to?: Bound, until?: Bound): Promise<void> {
  const editor = vscode.window.activeTextEditor;
  if (!client || !editor) return;
  const argument: Record<string, unknown> = { uri: editor.document.uri.toString() };
  if (from) argument.from = from;
  if (to) argument.to = to;
  if (until) argument.until = until;
  try {
    await client.sendRequest(ExecuteCommandRequest.type, { command: 'zirvon.play', arguments: [argument] });
  } catch (e) {
    void vscode.window.showErrorMessage(`zirvon: ${e instanceof Error ? e.message : String(e)}`);
  }
}

export async function activate(context: vscode.ExtensionContext): Promise<void> {
  const settings = vscode.workspace.getConfiguration('zirvon');
  const port = settings.get<string>('port', '');
  const serverOptions: ServerOptions = { command: settings.get<string>('path', 'zirvon'), args: ['--lsp'] };
  const clientOptions: LanguageClientOptions = {
    documentSelector: [{ language: 'mml' }],
    initializationOptions: port ? { port } : {},
  };
  client = new LanguageClient('zirvon', 'zirvon', serverOptions, clientOptions);

  const status = vscode.window.createStatusBarItem(vscode.StatusBarAlignment.Left);
  status.command = 'zirvon.stopPlaying';
  status.tooltip = 'zirvon: stop playing';
  context.subscriptions.push(
    status,
    playhead,
    client.onNotification('zirvon/playing', (p: Playing) => showPlaying(p, status)),
    client.onNotification('zirvon/stopped', (s: Stopped) => showStopped(s, status)),
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
  );
  await client.start();
}

export function deactivate(): Thenable<void> | undefined {
  return client?.stop();
}
