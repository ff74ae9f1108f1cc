// Entry from a MIDI keyboard as the editor shows it: what zirvon/entry says,
// and the lengths offered. Free of VS Code, so that it runs under node alone.

/// What the server says of entry in zirvon/entry and zirvon.entry's answers.
export interface EntryState {
  active: boolean;
  uri?: string;
  port?: string;
  length: string;
  position?: { line: number; character: number };
  message?: string;
}

/// The lengths offered, '' being the default length in force at the place.
export const entryLengths = ['', '1', '2', '4', '8', '16', '32', '2.', '4.', '8.', '16.'];

/// How a length reads in the status bar and the choice.
export function lengthLabel(length: string): string {
  return length ? `L${length}` : 'default length';
}

/// The status bar's text while entry is on; undefined once it is off.
export function entryStatus(state: EntryState): string | undefined {
  if (!state.active) return undefined;
  return `$(record) ${state.port ?? ''} · ${lengthLabel(state.length)}`;
}
