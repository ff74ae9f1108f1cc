-- zirvon in Neovim (0.7 and later): the language server for MML buffers,
-- commands that play from the cursor, a selection or a block, and the notes
-- that sound shown as highlights while they do.
local M = {}

local config = {
  cmd = { 'zirvon', '--lsp' },
  -- What plays: "synth", a port number or part of a port's name, as /port=.
  port = nil,
  -- Buffer keys; false leaves them unmapped.
  keys = { play = '<LocalLeader>p', block = '<LocalLeader>b', stop = '<LocalLeader>s' },
}

local client_id = nil
local playhead = vim.api.nvim_create_namespace('zirvon_playhead')
vim.api.nvim_set_hl(0, 'ZirvonPlayhead', { default = true, link = 'IncSearch' })

--- What zirvon/playing and zirvon/stopped last said: for statuslines and tests.
M.state = { playing = nil, stopped = nil }

function M.setup(options)
  config = vim.tbl_deep_extend('force', config, options or {})
end

local function buffer_of(uri)
  local ok, bufnr = pcall(vim.uri_to_bufnr, uri)
  return ok and bufnr or nil
end

local function clear(uri)
  local bufnr = uri and buffer_of(uri)
  if bufnr and vim.api.nvim_buf_is_valid(bufnr) then
    vim.api.nvim_buf_clear_namespace(bufnr, playhead, 0, -1)
  end
end

local handlers = {
  ['zirvon/playing'] = function(_, params)
    M.state.playing = params
    local bufnr = buffer_of(params.uri)
    if not bufnr or not vim.api.nvim_buf_is_loaded(bufnr) then
      return
    end
    vim.api.nvim_buf_clear_namespace(bufnr, playhead, 0, -1)
    -- A frame of an older text: its notes no longer stand where it says.
    local version = vim.lsp.util.buf_versions[bufnr] or vim.api.nvim_buf_get_changedtick(bufnr)
    if params.version ~= nil and params.version ~= version then
      return
    end
    for _, note in ipairs(params.notes) do
      local line = vim.api.nvim_buf_get_lines(bufnr, note.line, note.line + 1, false)[1] or ''
      local ok1, first = pcall(vim.str_byteindex, line, note.character, true)
      local ok2, last = pcall(vim.str_byteindex, line, note.endCharacter, true)
      if ok1 and ok2 then
        vim.api.nvim_buf_add_highlight(bufnr, playhead, 'ZirvonPlayhead', note.line, first, last)
      end
    end
  end,
  ['zirvon/stopped'] = function(_, params)
    M.state.stopped = params
    M.state.playing = nil
    clear(params.uri)
    if params.reason == 'error' then
      vim.notify('zirvon: ' .. (params.message or 'playing stopped'), vim.log.levels.ERROR)
    end
  end,
}

--- The handlers of the server's notifications, for tests.
M.handlers = handlers

local function execute(bufnr, command, argument)
  local client = client_id and vim.lsp.get_client_by_id(client_id)
  if not client then
    vim.notify('zirvon: the language server is not running', vim.log.levels.ERROR)
    return
  end
  client.request('workspace/executeCommand', { command = command, arguments = argument and { argument } or {} },
    function(err)
      if err then
        vim.notify('zirvon: ' .. err.message, vim.log.levels.ERROR)
      end
    end, bufnr)
end

--- Plays from the cursor to the end of the song.
function M.play(bufnr)
  bufnr = bufnr or vim.api.nvim_get_current_buf()
  local params = vim.lsp.util.make_position_params()
  execute(bufnr, 'zirvon.play', { uri = params.textDocument.uri, from = params.position })
end

--- Plays the blocks of the lines from `first` to `last` (from 1).
function M.play_lines(first, last, bufnr)
  bufnr = bufnr or vim.api.nvim_get_current_buf()
  execute(bufnr, 'zirvon.play', { uri = vim.uri_from_bufnr(bufnr), from = { line = first - 1 }, to = { line = last - 1 } })
end

--- Plays the block (or blocks) of the cursor's line.
function M.play_block(bufnr)
  local line = vim.api.nvim_win_get_cursor(0)[1]
  M.play_lines(line, line, bufnr)
end

function M.stop(bufnr)
  execute(bufnr or vim.api.nvim_get_current_buf(), 'zirvon.stop')
end

local function map_keys(bufnr)
  local keys = config.keys
  if not keys then
    return
  end
  local function map(mode, lhs, rhs)
    if lhs then
      vim.api.nvim_buf_set_keymap(bufnr, mode, lhs, rhs, { noremap = true, silent = true })
    end
  end
  map('n', keys.play, '<Cmd>ZirvonPlay<CR>')
  map('x', keys.play, ':ZirvonPlay<CR>')
  map('n', keys.block, '<Cmd>ZirvonPlayBlock<CR>')
  map('n', keys.stop, '<Cmd>ZirvonStop<CR>')
end

function M.attach(bufnr)
  if not client_id or not vim.lsp.get_client_by_id(client_id) then
    client_id = vim.lsp.start_client({
      name = 'zirvon',
      cmd = config.cmd,
      root_dir = vim.fn.getcwd(),
      init_options = { port = config.port },
      handlers = handlers,
      on_exit = function()
        client_id = nil
      end,
    })
  end
  if client_id then
    vim.lsp.buf_attach_client(bufnr, client_id)
    map_keys(bufnr)
  end
end

vim.api.nvim_create_user_command('ZirvonPlay', function(command)
  if command.range > 0 then
    M.play_lines(command.line1, command.line2)
  else
    M.play()
  end
end, { range = true, desc = 'zirvon: play from the cursor, or the blocks of a range of lines' })
vim.api.nvim_create_user_command('ZirvonPlayBlock', function() M.play_block() end,
  { desc = "zirvon: play the block of the cursor's line" })
vim.api.nvim_create_user_command('ZirvonStop', function() M.stop() end, { desc = 'zirvon: stop playing' })

return M
