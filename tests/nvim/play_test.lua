-- Neovim with the plugin of editors/nvim, on a song with a mistake (see
-- lsp/lsp_live_test.cpp, which starts it in the song's folder): the warning where it belongs, a
-- hover, then playing from the cursor to the end with the playhead shown.
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

zirvon.setup({ cmd = { os.getenv('ZIRVON'), '--lsp' }, port = os.getenv('ZIRVON_TEST_PORT') })
vim.cmd('edit song.mml')
check(vim.bo.filetype == 'mml', 'filetype %q', vim.bo.filetype)

check(vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 10), 'no diagnostics came')
local d = vim.diagnostic.get(0)[1]
check(d.lnum == 1 and d.col == 14 and d.message == "unknown command 'V' is ignored" and d.source == 'zirvon',
  'diagnostic %s', vim.inspect(d))

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
vim.cmd('qa!')
