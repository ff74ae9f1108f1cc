#!/usr/bin/env bash
# Takes the README's picture of zirvon in Neovim: the canon with a mistake,
# open in a headless Neovim inside tmux with editors/nvim's plugin, its
# warning shown, playing from the cursor with the sounding notes lit and a
# hover open over a later note. The terminal is captured with its colours, turned into HTML
# by aha and photographed by headless Chromium:
#   scripts/nvim_screenshot.sh [OUT.png]      default: docs/nvim.png
# Needs tmux, neovim, aha, chromium and jackd2 (a JACK server with the dummy
# driver of its own gives the built-in synthesizer something to play on),
# and the release build (build/release/zirvon).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/nvim.png}")
zirvon=$root/build/release/zirvon
work=$(mktemp -d)
session=zirvon-shot-$$
jack_pid=
cleanup() {
    tmux kill-session -t "$session" 2>/dev/null || true
    [[ -n "$jack_pid" ]] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export JACK_DEFAULT_SERVER=$session JACK_NO_START_SERVER=1
jackd -n "$session" -d dummy -r 48000 -p 512 >/dev/null 2>&1 &
jack_pid=$!
sleep 1

# The canon, with an unknown command on its sixth line.
sed '6s/F#4 G4/F#4 V G4/' "$root/examples/canon.mml" >"$work/canon.mml"
cat >"$work/init.lua" <<LUA
vim.opt.rtp:prepend('$root/editors/nvim')
vim.g.maplocalleader = ','
vim.opt.number = true
vim.opt.termguicolors = false
vim.opt.signcolumn = 'yes'
vim.cmd('highlight NormalFloat ctermbg=237 ctermfg=252')
require('zirvon').setup({ cmd = { '$zirvon', '--lsp' }, port = 'synth' })
LUA
tmux new-session -d -s "$session" -x 104 -y 22 -c "$work" \
    "env TERM=tmux-256color nvim -u '$work/init.lua' -i NONE canon.mml"
sleep 3
# To D. on line 6 and play from there; while it plays, hover over the
# last line's G1.
tmux send-keys -t "$session" 6G 2l ,p
sleep 0.3
tmux send-keys -t "$session" ':call cursor(10, 3) | lua vim.lsp.buf.hover()' Enter
sleep 0.4
tmux capture-pane -t "$session" -e -p >"$work/screen.ansi"

aha --black --title "zirvon in Neovim" <"$work/screen.ansi" |
    sed 's|<pre>|<pre style="font: 15px/1.25 DejaVu Sans Mono, monospace; margin: 0; padding: 8px">|' >"$work/screen.html"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1000,470 \
    --screenshot="$out" "file://$work/screen.html" >/dev/null 2>&1
echo "nvim_screenshot.sh: wrote $out"
