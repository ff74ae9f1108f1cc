#!/usr/bin/env bash
# Builds zirvon.exe for 64-bit and 32-bit Windows with mingw-w64 and checks
# it, on Debian 12, then makes the release packages:
#   1. installs what is missing (cross compilers, wine64, ...) and builds the
#      Linux release build (scripts/setup.sh);
#   2. builds the win64 preset, and the program of the win32 preset;
#   3. runs the win64 test suite under wine64 (the 32-bit build cannot run
#      here: this kernel runs no 32-bit x86 programs);
#   4. checks that both programs are console programs that need no DLLs
#      but Windows' own;
#   5. runs the Linux and the Windows build on the examples, a few command
#      lines and random songs, and checks they give the same bytes;
#   6. makes, with the page that scripts/web.sh builds in them,
#      build/win64/zirvon-VERSION-win64.zip,
#      build/win32/zirvon-VERSION-win32.zip and
#      build/release/zirvon_VERSION_amd64.deb.
#   scripts/windows.sh                   all of that
#   scripts/windows.sh --install-check   also installs the .deb with apt-get,
#                                        runs zirvon --version and man zirvon,
#                                        and removes the package again (unless
#                                        it was installed before)
# Every step runs even when one before it failed; the summary at the end
# names the failed ones, and the status is then 1.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
install_check=false
[[ "${1:-}" == "--install-check" ]] && install_check=true

failed=()
step_start=$SECONDS
step() {  # step NAME: prints a header and times the step before it
    printf '\n== %s\n' "$1"
    step_start=$SECONDS
}
done_step() {  # done_step NAME STATUS
    local took=$((SECONDS - step_start))
    if [[ $2 -eq 0 ]]; then
        echo "-- $1: ok (${took} s)"
    else
        echo "-- $1: FAILED (${took} s)"
        failed+=("$1")
    fi
}
total_start=$SECONDS

step "packages"
packages=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 googletest file dpkg-dev python3 man-db)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
status=0
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    { $sudo apt-get update -q &&
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; } ||
        status=1
fi
scripts/setup.sh || status=1
# The page, which the zips and the .deb carry.
scripts/web.sh || status=1
done_step "packages and the Linux build" $status

for flavour in win64 win32; do
    step "build $flavour"
    { cmake --preset $flavour >/dev/null && cmake --build --preset $flavour -j 2; }
    done_step "build $flavour" $?
done

step "tests under wine64"
retries=build/win64/wineprefix/launch-retries.log
rm -f "$retries"
ctest --preset win64 -j 2
status=$?
# Programs Wine ended before they ran, which cmake/wine-run.sh started again.
if [ -s "$retries" ]; then
    echo "Wine ended $(wc -l <"$retries") program(s) before they ran; each was started again:"
    cat "$retries"
fi
done_step "tests under wine64" $status

step "inspect the programs"
status=0
declare -A expected_kind=([win64]="PE32+ executable (console) x86-64" [win32]="PE32 executable (console) Intel 80386")
declare -A objdump=([win64]=x86_64-w64-mingw32-objdump [win32]=i686-w64-mingw32-objdump)
# Windows' own DLLs that the program may import, in lower case.
system_dlls=" kernel32.dll msvcrt.dll winmm.dll advapi32.dll user32.dll ws2_32.dll "
for flavour in win64 win32; do
    exe=build/$flavour/zirvon.exe
    kind=$(file -b "$exe")
    echo "$exe: $kind"
    [[ "$kind" == "${expected_kind[$flavour]}"* ]] || { echo "  not a ${expected_kind[$flavour]}"; status=1; }
    dlls=$(${objdump[$flavour]} -p "$exe" | sed -n 's/^\s*DLL Name: //p')
    echo "  imports: $(echo $dlls)"
    for dll in $dlls; do
        [[ "$system_dlls" == *" ${dll,,} "* ]] || { echo "  $dll is not one of Windows' own DLLs"; status=1; }
    done
done
done_step "inspect the programs" $status

step "Linux and Windows builds give the same bytes"
python3 scripts/compare_builds.py build/release/zirvon build/win64/zirvon.exe --count 300 \
    --emulator "$root/cmake/wine-run.sh" "$root/build/win64/wineprefix"
done_step "same bytes" $?

step "packages"
status=0
version=$(sed -n 's/^project(zirvon VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=build/release/zirvon_${version}_amd64.deb
for preset in deb win64 win32; do
    cpack --preset $preset >/dev/null || { echo "cpack --preset $preset failed"; status=1; }
done
for flavour in win64 win32; do
    zip=build/$flavour/zirvon-$version-$flavour.zip
    listing=$(unzip -Z1 "$zip" 2>/dev/null) || { echo "$zip is missing"; status=1; continue; }
    echo "$zip:" $listing
    for want in zirvon.exe zirvon.html README.md docs/mml.md examples/canon.mml; do
        grep -qx "zirvon-$version-$flavour/$want" <<<"$listing" || { echo "  $want is missing"; status=1; }
    done
done
if contents=$(dpkg-deb -c "$deb" 2>/dev/null); then
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "$deb: depends on $depends"
    # The libraries the program loads when it plays, which dpkg-shlibdeps
    # cannot see.
    for want in librtmidi librtaudio libjack; do
        [[ "$depends" == *"$want"* ]] || { echo "  the dependencies do not name $want"; status=1; }
    done
    for want in ./usr/bin/zirvon ./usr/share/man/man1/zirvon.1.gz ./usr/share/doc/zirvon/README.md \
        ./usr/share/doc/zirvon/docs/mml.md \
        ./usr/share/doc/zirvon/examples/canon.mml ./usr/share/zirvon/zirvon.html; do
        grep -q " $want\$" <<<"$contents" || { echo "  $want is missing"; status=1; }
    done
else
    echo "$deb is missing"
    status=1
fi
done_step "packages" $status

if $install_check; then
    step "install the .deb"
    status=0
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    was_installed=false
    dpkg-query -W -f='${Status}' zirvon 2>/dev/null | grep -q "install ok installed" && was_installed=true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "./$deb" >/dev/null || status=1
    (cd / && zirvon --version) || status=1
    man -w zirvon || status=1
    MANWIDTH=80 man zirvon 2>/dev/null | sed -n 1,5p
    [[ "$(MANWIDTH=80 man zirvon 2>/dev/null | head -n 1)" == ZIRVON* ]] || { echo "man zirvon shows nothing"; status=1; }
    if ! $was_installed; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -q zirvon >/dev/null || status=1
    fi
    done_step "install the .deb" $status
fi

printf '\n== %s s in all\n' $((SECONDS - total_start))
if ((${#failed[@]})); then
    printf 'FAILED: %s\n' "${failed[@]}"
    exit 1
fi
echo "All steps passed."
