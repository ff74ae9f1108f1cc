% A folk dance written for zirvon's import tests: a tune with a pickup,
% triplets, dotted rhythms and notes tied over the bar line, over a bass that
% holds its notes across bars, and a drum on channel 10 that the import
% leaves out.
\version "2.24.0"
\header { title = "A Dance for the Import" tagline = ##f }

tune = \relative c'' {
  \key d \major \time 4/4 \tempo 4 = 112
  \partial 4 a8 b |
  d4 \tuplet 3/2 { cis8 b a } b4. a8 | fis4 a~ a8 g fis e |
  d4 \tuplet 3/2 { e8 fis g } a4 d~ | d2 r4 a8 b |
  d4 \tuplet 3/2 { cis8 b a } b8. a16 g8 fis | e4 \tuplet 3/2 { fis8 g a } b4 a~ |
  a8 g fis e \tuplet 3/2 { d8 e fis } e4 | d2. r4 \bar "|."
}
bass = \relative c {
  \clef bass \key d \major \time 4/4
  \partial 4 r4 |
  d1~ | d2 a |
  d2 fis~ | fis4 e d2 |
  g1 | a2. a4~ |
  a2 a, | d2. r4
}
drum = \drummode {
  \partial 4 r4 |
  \repeat unfold 8 { bd4 hh sn hh }
}

\score {
  <<
    \new Staff \with { midiInstrument = "fiddle" } \tune
    \new Staff \with { midiInstrument = "acoustic bass" } \bass
    \new DrumStaff \drum
  >>
  \layout { }
  \midi { }
}
