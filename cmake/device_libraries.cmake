# The MIDI and audio libraries of Linux and other POSIX systems: RtMidi,
# RtAudio, JACK and ALSA's, and libsndfile, which reads recordings. The
# program loads them when /play or /ports needs them, or a recording is read
# (system/shared_library_posix.h), so it links none of them: what the build
# needs is their headers, and the file names to load them by, which become
# the .deb's dependencies too (packaging/CMakeLists.txt).
#   ZIRVON_RTMIDI_SONAME, ZIRVON_RTAUDIO_SONAME, ZIRVON_JACK_SONAME,
#   ZIRVON_ALSA_SONAME, ZIRVON_SNDFILE_SONAME: librtmidi.so.6 ...
#   RTMIDI_INCLUDE_DIRS, RTAUDIO_INCLUDE_DIRS, JACK_INCLUDE_DIRS, ALSA_INCLUDE_DIRS,
#   SNDFILE_INCLUDE_DIRS
#   PkgConfig::RTMIDI, PkgConfig::JACK: for the live tests, which link them
#   PkgConfig::SNDFILE: for the tests, which write FLAC and Ogg recordings
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
pkg_check_modules(RTAUDIO REQUIRED rtaudio)
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
# Where RtMidi has ALSA (Linux), the watch on an ALSA port uses its library.
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)

# The name the dynamic loader knows a library by, from the file that the
# development package's link points at: librtaudio.so.6.1.0 gives
# librtaudio.so.6.
function(zirvon_soname variable library hints)
    find_library(ZIRVON_${variable}_PATH NAMES ${library} HINTS ${hints} REQUIRED)
    get_filename_component(file ${ZIRVON_${variable}_PATH} REALPATH)
    get_filename_component(file ${file} NAME)
    string(REGEX REPLACE "^(.*\\.so\\.[0-9]+).*$" "\\1" soname ${file})
    set(ZIRVON_${variable}_SONAME ${soname} PARENT_SCOPE)
endfunction()

zirvon_soname(RTMIDI rtmidi "${RTMIDI_LIBRARY_DIRS}")
zirvon_soname(RTAUDIO rtaudio "${RTAUDIO_LIBRARY_DIRS}")
zirvon_soname(JACK jack "${JACK_LIBRARY_DIRS}")
zirvon_soname(ALSA asound "${ALSA_LIBRARY_DIRS}")
zirvon_soname(SNDFILE sndfile "${SNDFILE_LIBRARY_DIRS}")
