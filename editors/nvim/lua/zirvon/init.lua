-- zirvon in Neovim (0.7 and later): the language server for MML buffers,
-- its block lenses, commands that play from the cursor, a selection or a
-- block (with tracks soloed or muted, or looping), the notes that sound
-- shown as highlights while they do, and entry from a MIDI keyboard.
local M = {}

local config = {
  -- The server: a path to the program (started with --lsp) or a command line as a list.
  cmd = { 'zirvon', '--lsp' },
  -- What plays: "synth", a port number or part of a port's name, as /port=.
  port = nil,
  -- The MIDI keyboard that entry listens to: a port number or part of its name (nil: the first).
  entry_port = nil,
  -- The key that enters a rest (a MIDI note number; nil: A0, 21).
  rest_key = nil,
  -- Buffer keys; false leaves them unmapped.
  keys = { play = '<LocalLeader>p', block = '<LocalLeader>b', stop = '<LocalLeader>s', entry = '<LocalLeader>e' },
}

local client_id = nil
local playhead = vim.api.nvim_create_namespace('zirvon_playhead')
vim.api.nvim_set_hl(0, 'ZirvonPlayhead', { default = true, link = 'IncSearch' })

--- What zirvon/playing, zirvon/stopped and zirvon/entry last said: for statuslines and tests.
M.state = { playing = nil, stopped = nil, entry = nil }

local function warn(message)
  vim.notify('zirvon: ' .. message, vim.log.levels.ERROR)
end

--- The server's command line from `cmd`, or nil and what is wrong with it in one line.
local function command_line(cmd)
  if type(cmd) == 'string' and cmd ~= '' then
    cmd = { cmd, '--lsp' }
  end
  local form = "cmd is a path to zirvon or a list such as { 'zirvon', '--lsp' }"
  if type(cmd) ~= 'table' or #cmd == 0 then
    return nil, form .. ', not ' .. vim.inspect(cmd, { newline = ' ', indent = '' })
  end
  for i, word in ipairs(cmd) do
    if type(word) ~= 'string' then
      return nil, form .. ': item ' .. i .. ' is ' .. vim.inspect(word, { newline = ' ', indent = '' }) .. ', not text'
    end
  end
  if vim.fn.executable(cmd[1]) ~= 1 then
    return nil, "cmd: '" .. cmd[1] .. "' is not a program that can be run (not found, or not executable); " .. form
  end
  return cmd
end

function M.setup(options)
  if options ~= nil and type(options) ~= 'table' then
    warn('setup takes a table such as { cmd = ..., port = ..., keys = ... }, not ' .. type(options))
    return
  end
  -- A list replaces the one before whole: merged, a shorter cmd would keep the old tail.
  local cmd = options and options.cmd
  config = vim.tbl_deep_extend('force', config, options or {})
  if cmd ~= nil then
    config.cmd = cmd
  end
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

--- Asks for the buffer's lenses again and shows them; none left clears them
--- (Neovim's display keeps the old ones when a reply is empty).
local function refresh_lenses(bufnr)
  local client = client_id and vim.lsp.get_client_by_id(client_id)
  if not client or not vim.api.nvim_buf_is_loaded(bufnr) then
    return
  end
  local id = client_id
  client.request('textDocument/codeLens', { textDocument = { uri = vim.uri_from_bufnr(bufnr) } },
    function(err, result, ctx)
      if err or not vim.api.nvim_buf_is_loaded(bufnr) then
        return
      end
      if not result or #result == 0 then
        vim.api.nvim_buf_clear_namespace(bufnr, vim.lsp.codelens.__namespaces[id], 0, -1)
      end
      vim.lsp.codelens.on_codelens(err, result, ctx)
    end, bufnr)
end

local handlers = {
  -- The diagnostics come once the server has read a change: its blocks, so
  -- its lenses, are those of the new text.
  ['textDocument/publishDiagnostics'] = function(err, result, ctx, conf)
    vim.lsp.handlers['textDocument/publishDiagnostics'](err, result, ctx, conf)
    local bufnr = result and buffer_of(result.uri)
    if bufnr then
      refresh_lenses(bufnr)
    end
  end,
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
  -- Entry on or off, and after each insertion the place that follows it:
  -- the cursor goes there, so that what is typed meanwhile lands after it.
  ['zirvon/entry'] = function(_, params)
    M.state.entry = params
    if params.message then
      vim.notify('zirvon: ' .. params.message, vim.log.levels.WARN)
    end
    local bufnr = params.active and params.position and buffer_of(params.uri)
    if bufnr and bufnr == vim.api.nvim_get_current_buf() then
      local line = vim.api.nvim_buf_get_lines(bufnr, params.position.line, params.position.line + 1, false)[1]
      local ok, column = pcall(vim.str_byteindex, line or '', params.position.character, true)
      if line and ok then
        vim.api.nvim_win_set_cursor(0, { params.position.line + 1, column })
      end
    end
    vim.cmd('redrawstatus')
  end,
}

--- The handlers of the server's notifications, for tests.
M.handlers = handlers

--- What every play takes besides its passage: tracks soloed, tracks muted, looping.
M.options = { solo = {}, mute = {}, loop = false }
-- The last passage asked for, to play it again when the options change.
local last = nil

local function tracks(set)
  local list = {}
  for track in pairs(set) do
    table.insert(list, track)
  end
  table.sort(list)
  return list
end

local function execute(bufnr, command, argument)
  local client = client_id and vim.lsp.get_client_by_id(client_id)
  if not client then
    warn('the language server is not running')
    return
  end
  if command == 'zirvon.play' then
    last = { bufnr = bufnr, argument = argument }
    argument = vim.tbl_extend('force', argument, {
      solo = #tracks(M.options.solo) > 0 and tracks(M.options.solo) or nil,
      mute = #tracks(M.options.mute) > 0 and tracks(M.options.mute) or nil,
      loop = M.options.loop or nil,
    })
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

--- Entry from the MIDI keyboard at the cursor, on or off.
function M.toggle_entry(bufnr)
  bufnr = bufnr or vim.api.nvim_get_current_buf()
  local entry = M.state.entry
  if entry and entry.active then
    execute(bufnr, 'zirvon.entry', { action = 'stop' })
    return
  end
  local params = vim.lsp.util.make_position_params()
  execute(bufnr, 'zirvon.entry', { action = 'start', uri = params.textDocument.uri, position = params.position,
    length = M.options.length })
end

--- The length each key enters: "8", "4." ...; nil or '' for the default length in force.
function M.set_length(length, bufnr)
  M.options.length = length ~= '' and length or nil
  execute(bufnr or vim.api.nvim_get_current_buf(), 'zirvon.entry', { action = 'length', length = M.options.length })
end

function M.rest(bufnr)
  execute(bufnr or vim.api.nvim_get_current_buf(), 'zirvon.entry', { action = 'rest' })
end

--- For a statusline: "♪ <port> · L8" while entry is on, '' otherwise.
function M.statusline()
  local entry = M.state.entry
  if not entry or not entry.active then
    return ''
  end
  return '♪ ' .. entry.port .. ' · ' .. (entry.length ~= '' and 'L' .. entry.length or 'default length')
end

local function describe(set)
  local list = tracks(set)
  return #list > 0 and table.concat(list, ',') or 'none'
end

--- Applies changed options: said in one line, and heard at once if something
--- plays (from where it is, or from the loop's start when it loops).
local function options_changed()
  vim.notify(string.format('zirvon: solo %s · mute %s · loop %s', describe(M.options.solo), describe(M.options.mute),
    M.options.loop and 'on' or 'off'))
  if M.state.playing and last and vim.api.nvim_buf_is_valid(last.bufnr) then
    local argument = vim.deepcopy(last.argument)
    if not M.options.loop then
      argument.from = M.state.playing.time
    end
    execute(last.bufnr, 'zirvon.play', argument)
  end
end

--- Turns each track of `list` (numbers 1 to 8) in or out of `which`
--- ('solo' or 'mute'); an empty list clears it.
function M.toggle(which, list)
  local set = M.options[which]
  if #list == 0 then
    M.options[which] = {}
  end
  for _, track in ipairs(list) do
    if set[track] then
      set[track] = nil
    else
      set[track] = true
    end
  end
  options_changed()
end

function M.toggle_loop()
  M.options.loop = not M.options.loop
  options_changed()
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
  map('n', keys.entry, '<Cmd>ZirvonEntry<CR>')
end

-- Said once per command line, not again for every buffer that opens.
local refused = nil

function M.attach(bufnr)
  if not client_id or not vim.lsp.get_client_by_id(client_id) then
    local cmd, problem = command_line(config.cmd)
    if not cmd then
      if refused ~= problem then
        warn(problem)
      end
      refused = problem
      return
    end
    local ok, id = pcall(vim.lsp.start_client, {
      name = 'zirvon',
      cmd = cmd,
      root_dir = vim.fn.getcwd(),
      init_options = { port = config.port, entryPort = config.entry_port, restKey = config.rest_key },
      handlers = handlers,
      -- A lens plays its block with the solo, mute and loop of the moment.
      commands = {
        ['zirvon.play'] = function(command, ctx)
          execute(ctx.bufnr, 'zirvon.play', command.arguments[1])
          refresh_lenses(ctx.bufnr)
        end,
      },
      on_exit = function(code, signal)
        client_id = nil
        -- A program that is not this zirvon (or one too old for --lsp) ends at once.
        if code ~= 0 and signal == 0 then
          vim.schedule(function()
            warn(string.format("the language server '%s' exited with status %d", cmd[1], code))
          end)
        end
      end,
    })
    if not ok or not id then
      warn('the language server did not start: ' .. tostring(id):gsub('\n.*', ''))
      return
    end
    client_id = id
  end
  vim.lsp.buf_attach_client(bufnr, client_id)
  map_keys(bufnr)
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

vim.api.nvim_create_user_command('ZirvonEntry', function() M.toggle_entry() end,
  { bar = true, desc = 'zirvon: entry from the MIDI keyboard at the cursor, on or off' })
vim.api.nvim_create_user_command('ZirvonLength', function(command) M.set_length(command.args) end,
  { nargs = '?', bar = true, desc = 'zirvon: the length keys enter (1, 2, 4, 8, 16, 32 with dots; none: the default)' })
vim.api.nvim_create_user_command('ZirvonRest', function() M.rest() end, { bar = true, desc = 'zirvon: enter a rest' })

local function track_command(which)
  return function(command)
    local list = {}
    for _, word in ipairs(command.fargs) do
      local track = tonumber(word)
      if not track or track ~= math.floor(track) or track < 1 or track > 8 then
        warn(string.format("Zirvon%s takes track numbers 1 to 8, not '%s'", which == 'solo' and 'Solo' or 'Mute', word))
        return
      end
      table.insert(list, track)
    end
    M.toggle(which, list)
  end
end
vim.api.nvim_create_user_command('ZirvonSolo', track_command('solo'),
  { nargs = '*', bar = true, desc = 'zirvon: solo tracks N... on or off (none: solo nothing)' })
vim.api.nvim_create_user_command('ZirvonMute', track_command('mute'),
  { nargs = '*', bar = true, desc = 'zirvon: mute tracks N... on or off (none: mute nothing)' })
vim.api.nvim_create_user_command('ZirvonLoop', function() M.toggle_loop() end, { bar = true, desc = 'zirvon: loop on or off' })

return M
