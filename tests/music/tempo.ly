% Ah! vous dirai-je, maman (the French tune of "Twinkle, Twinkle"), set for
% zirvon's import tests with tempo changes: a slow start, faster variation,
% a ritardando in steps and a nine-note chord at the end.
\version "2.24.0"
\header { title = "Ah! vous dirai-je, maman" tagline = ##f }

tune = \relative c'' {
  \time 2/4
  \tempo 4 = 80
  c4 c | g' g | a a | g2 | f4 f | e e | d d | c2 |
  \tempo 4 = 144
  g'8 a g f | e f e d | g a g f | e4 d | c'16 b a g f e d c | d8 e f d | c4 e | c2 |
  \tempo 4 = 120 g'4 g | \tempo 4 = 100 f f | \tempo 4 = 80 e e | \tempo 4 = 60 d2 |
  \time 3/4 \tempo 4 = 50 <c e g c>2.\fermata \bar "|."
}
accompaniment = \relative c' {
  \clef bass \time 2/4
  <c e>4 <e g> | <e g> <e g> | <f a> <f a> | <e g>2 | <d f>4 <d f> | <c e> <c e> | <b d> <g b> | c2 |
  c8 e g e | c e g e | b d g d | c e b d | c4 r | f,8 g a b | c4 g | c2 |
  e4 e | d d | c c | b2 |
  \time 3/4 <c, g' c e g>2.
}

\score {
  <<
    \new Staff \with { midiInstrument = "acoustic grand" } \tune
    \new Staff \with { midiInstrument = "acoustic grand" } \accompaniment
  >>
  \layout { }
  \midi { }
}
