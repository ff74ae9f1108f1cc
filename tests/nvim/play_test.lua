-- Neovim with the plugin of editors/nvim, on a song with a mistake (see
-- lsp/lsp_live_test.cpp, which starts it in the song's folder): a wrong server command said in
-- one line, the warning where it belongs, the block lenses as the text changes, a hover, playing
-- from the cursor to the end with the playhead shown, then one track soloed and looping, and
-- entry from a keyboard switched on and off with a rest entered.
-- Exits 0 when all holds; otherwise says what did not and exits 1.
local zirvon = require('zirvon')
local function fail(message)
  io.stderr:write('play_test.lua: ' .. message .. '\n')
  vim.cmd('cquit 1')
end
local function check(holds, message, ...)
  if not holds then
    fail(string.format(message, ...))
  end
end

-- What the plugin says, kept in place of the messages area (where an error
-- inside vim.cmd would stop the script).
local said = {}
vim.notify = function(message)
  table.insert(said, message)
end
local function last_said() return said[#said] or '' end

-- A command that is not a program, then one that is not a command line: one line each, no stack.
zirvon.setup({ cmd = { 'no-such-zirvon', '--lsp' } })
vim.cmd('edit other.mml')
check(#said == 1 and last_said():find("^zirvon: cmd: 'no%-such%-zirvon' is not a program") and not last_said():find('\n'),
  'a missing program: %s', vim.inspect(said))
zirvon.setup({ cmd = { true } })
vim.cmd('bwipeout! | edit other.mml | bwipeout!')
check(#said == 2 and last_said():find('item 1 is true, not text', 1, true), 'a list of not text: %s', vim.inspect(said))

-- The path alone is the form most write.
zirvon.setup({ cmd = os.getenv('ZIRVON'), port = os.getenv('ZIRVON_TEST_PORT'), entry_port = os.getenv('ZIRVON_TEST_KEYS') })
vim.cmd('edit song.mml')
check(vim.bo.filetype == 'mml', 'filetype %q', vim.bo.filetype)

check(vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 10), 'no diagnostics came')
local d = vim.diagnostic.get(0)[1]
check(d.lnum == 1 and d.col == 14 and d.message == "unknown command 'V' is ignored" and d.source == 'zirvon',
  'diagnostic %s', vim.inspect(d))

-- A lens over the first line of each block, and one more as soon as a block is added.
local client = vim.tbl_filter(function(c) return c.name == 'zirvon' end, vim.lsp.get_active_clients())[1]
local lens_ns = vim.lsp.codelens.__namespaces[client.id]
local function lenses()
  local out = {}
  for _, mark in ipairs(vim.api.nvim_buf_get_extmarks(0, lens_ns, 0, -1, { details = true })) do
    table.insert(out, (mark[2] + 1) .. ': ' .. mark[4].virt_text[1][1])
  end
  return table.concat(out, ', ')
end
check(vim.wait(5000, function() return lenses() == '2: ▶ Block 1, 3: ▶ Block 2' end, 10), 'lenses %q', lenses())
vim.api.nvim_buf_set_lines(0, -1, -1, false, { '1[C4]' })
check(vim.wait(5000, function() return lenses() == '2: ▶ Block 1, 3: ▶ Block 2, 4: ▶ Block 3' end, 10),
  'lenses after a block was added %q', lenses())
vim.api.nvim_buf_set_lines(0, -2, -1, false, {})

-- E8 of track 1: byte 11 of line 2, character 10 (é is two bytes, one character).
vim.api.nvim_win_set_cursor(0, { 2, 11 })
local replies = vim.lsp.buf_request_sync(0, 'textDocument/hover', vim.lsp.util.make_position_params(), 5000)
local hover = replies and select(2, next(replies))
local text = hover and hover.result and hover.result.contents.value or ''
check(text:find('**E4** · MIDI 64 · track 1, event 2', 1, true) and text:find('block 1 · first heard at 0:00.52 (tick 26)', 1, true),
  'hover %q', text)

vim.cmd('ZirvonPlay')
local ns = vim.api.nvim_create_namespace('zirvon_playhead')
local lit = false
check(vim.wait(10000, function()
  lit = lit or #vim.api.nvim_buf_get_extmarks(0, ns, 0, -1, {}) > 0
  return zirvon.state.stopped ~= nil
end, 10), 'playing did not end')
check(zirvon.state.stopped.reason == 'end', 'stopped: %s', vim.inspect(zirvon.state.stopped))
check(lit, 'no note was highlighted while playing')

-- A frame of an older text is dropped; one of the buffer's version is shown.
local bufnr = vim.api.nvim_get_current_buf()
local version = vim.lsp.util.buf_versions[bufnr]
local frame = { uri = vim.uri_from_bufnr(bufnr), notes = { { track = 1, line = 1, character = 0, endCharacter = 1 } } }
local function marks_after(v)
  frame.version = v
  zirvon.handlers['zirvon/playing'](nil, frame)
  return #vim.api.nvim_buf_get_extmarks(bufnr, ns, 0, -1, {})
end
check(marks_after(version - 1) == 0, 'a frame of version %d was shown at version %d', version - 1, version)
check(marks_after(version) == 1, 'a frame of the current version %d was not shown', version)
zirvon.state.playing = nil  -- those frames came from no play

-- Track 2 alone, over and over: only its notes light, and the passage starts again.
vim.cmd('ZirvonSolo 9')
check(last_said():find("ZirvonSolo takes track numbers 1 to 8, not '9'", 1, true), 'solo 9: %q', last_said())
vim.cmd('ZirvonSolo 2 | ZirvonLoop')
check(last_said() == 'zirvon: solo 2 · mute none · loop on', 'options said as %q', last_said())
zirvon.state.stopped = nil
vim.cmd('ZirvonPlay')
local ticks, tracks = {}, {}
local looped = vim.wait(20000, function()
  local p = zirvon.state.playing
  if p and p.tick ~= ticks[#ticks] then
    table.insert(ticks, p.tick)
    for _, note in ipairs(p.notes) do
      tracks[note.track] = true
    end
  end
  return #ticks > 1 and ticks[#ticks] < ticks[#ticks - 1]
end, 10)
check(looped and zirvon.state.stopped == nil, 'no loop: ticks %s, stopped %s', vim.inspect(ticks), vim.inspect(zirvon.state.stopped))
check(tracks[2] and not tracks[1], 'tracks heard with track 2 soloed: %s', vim.inspect(tracks))
vim.cmd('ZirvonStop')
check(vim.wait(5000, function() return zirvon.state.stopped ~= nil end, 10) and zirvon.state.stopped.reason == 'stopped',
  'a loop did not stop: %s', vim.inspect(zirvon.state.stopped))
vim.cmd('ZirvonSolo | ZirvonLoop')
check(last_said() == 'zirvon: solo none · mute none · loop off', 'options cleared as %q', last_said())

-- Entry at the cursor, inside 1[G4], with sixteenths: shown in the statusline; a rest goes in
-- through the server's edit and the cursor follows it; entry goes off again.
vim.api.nvim_win_set_cursor(0, { 3, 4 })
vim.cmd('ZirvonLength 16 | ZirvonEntry')
check(vim.wait(5000, function() return zirvon.state.entry and zirvon.state.entry.active end, 10),
  'entry did not start: %s %s', vim.inspect(zirvon.state.entry), last_said())
check(zirvon.statusline() == '♪ ' .. os.getenv('ZIRVON_TEST_KEYS') .. ' · L16', 'statusline %q', zirvon.statusline())
vim.cmd('ZirvonRest')
local function line3() return vim.api.nvim_buf_get_lines(0, 2, 3, false)[1] end
check(vim.wait(5000, function() return line3() == '1[G4R16] 2[B4]' end, 10), 'line 3 after a rest: %q', line3())
check(vim.wait(5000, function() return vim.api.nvim_win_get_cursor(0)[2] == 7 end, 10),
  'the cursor after the rest: %s', vim.inspect(vim.api.nvim_win_get_cursor(0)))
vim.cmd('ZirvonEntry')
check(vim.wait(5000, function() return not zirvon.state.entry.active end, 10) and zirvon.statusline() == '',
  'entry did not stop: %s', vim.inspect(zirvon.state.entry))
vim.cmd('qa!')
