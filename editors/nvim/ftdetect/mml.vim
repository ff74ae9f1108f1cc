" MML sources for zirvon: .mml in any case.
autocmd BufRead,BufNewFile *.mml,*.MML setfiletype mml
