% A chorale for four voices: the tune of Old Hundredth (Genevan Psalter,
% 1551), harmonised for zirvon's import tests in the manner of a Bach
% chorale: crotchet pulse, passing quavers in the inner voices, a pause at
% the end of every line.
\version "2.24.0"
\header { title = "Old Hundredth" tagline = ##f }

global = { \key g \major \time 4/4 \tempo 4 = 76 }

soprano = \relative c'' {
  \global
  g4 g fis e | d2 g4 a | b2\fermata b4 b | b a g c | b2 a\fermata |
  g4 a b a | g e fis g | d2\fermata d'4 b | g a c b | a2 g\fermata \bar "|."
}
alto = \relative c' {
  \global
  d4 d d8 c b4 | a2 d4 d | d2\fermata g4 g | g fis g8 fis e4 | g2 fis\fermata |
  e4 fis g fis | e c d d | b2\fermata fis'4 g | e fis g g | g fis d2\fermata
}
tenor = \relative c' {
  \global
  b4 b a g8 a | fis2 g4 fis | g2\fermata d'4 d | d d d c | d2 d\fermata |
  b4 d d d | b g a b | g2\fermata a4 d | c c e d | e d8 c b2\fermata
}
bass = \relative c' {
  \global
  g4 g, d' e | d2 b4 d | g,2\fermata g'4 g | g d e a, | g2 d'\fermata |
  e4 d g d | e c d g, | g2\fermata d'4 g | c, a c g | c d g,2\fermata
}

\score {
  \new ChoirStaff <<
    \new Staff \with { midiInstrument = "choir aahs" } \soprano
    \new Staff \with { midiInstrument = "choir aahs" } \alto
    \new Staff \with { midiInstrument = "choir aahs" } { \clef bass \tenor }
    \new Staff \with { midiInstrument = "choir aahs" } { \clef bass \bass }
  >>
  \layout { }
  \midi { }
}
