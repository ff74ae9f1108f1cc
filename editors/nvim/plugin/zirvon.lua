-- Starts zirvon's language server for every MML buffer. require('zirvon').setup{...}
-- before a buffer opens changes the command, the port or the keys.
if vim.g.loaded_zirvon then
  return
end
vim.g.loaded_zirvon = true

vim.cmd([[
  augroup zirvon
    autocmd!
    autocmd FileType mml lua require('zirvon').attach(tonumber(vim.fn.expand('<abuf>')))
  augroup END
]])
