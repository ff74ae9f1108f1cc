" MML for zirvon: blocks n[ ... ] of notes, rests and commands; the rest of
" a line after ';', and text outside blocks, is a comment.
if exists('b:current_syntax')
  finish
endif
syntax case ignore
syntax match mmlComment /;.*$/
syntax region mmlBlock matchgroup=mmlBracket start=/\d*\[/ end=/\]\|$/ contains=mmlNote,mmlRest,mmlCommand,mmlOctave,mmlTie,mmlRaw,mmlComment oneline
syntax match mmlNote /[a-g][#+-]*\d*\.*/ contained
syntax match mmlRest /r\d*\.*/ contained
syntax match mmlCommand /[loq]\d*/ contained
syntax match mmlOctave /[<>]/ contained
syntax match mmlTie /&/ contained
syntax match mmlRaw /%\d*/ contained
highlight default link mmlComment Comment
highlight default link mmlBracket Delimiter
highlight default link mmlNote Identifier
highlight default link mmlRest Special
highlight default link mmlCommand Keyword
highlight default link mmlOctave Operator
highlight default link mmlTie Operator
highlight default link mmlRaw Number
let b:current_syntax = 'mml'
