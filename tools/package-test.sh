#!/usr/bin/env bash
# The engine as others use it: installed into a scratch prefix, the example
# program built from that prefix alone (its sources copied out of the tree,
# so no path leads back here), through CMake and through pkg-config, and so
# is every build snippet of the README and the guide, as written; run
# headless with a recording and a replay; the installed documentation's
# links followed; then the Debian package built with cpack, checked by
# lintian, installed with apt-get, asked its version and for its manual
# page, and removed again.
# Usage: tools/package-test.sh [build-dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [[ $# -gt 1 || "${1:-}" == -* || ! -f "${1:-build/release}/CMakeCache.txt" ]]; then
  echo "usage: tools/package-test.sh [build-dir]   (a configured build, default build/release)" >&2
  exit 2
fi
build=$(realpath "${1:-build/release}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO=sudo

passes=0
failures=0
check() {
  if eval "$2"; then
    echo "ok: $1"
    passes=$((passes + 1))
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" > "$scratch/install.log"
check "installed the demo, the libraries, the CMake package and orbel2.pc" \
  "[[ -x $prefix/bin/orbel2 && -f $prefix/lib/liborbel2engine.a && -f $prefix/lib/liborbel2physics.a && \
     -f $prefix/lib/cmake/Orbel2/Orbel2Config.cmake && -f $prefix/lib/cmake/Orbel2/Orbel2ConfigVersion.cmake && \
     -f $prefix/lib/pkgconfig/orbel2.pc && -f $prefix/include/orbel2/session/Session.h && \
     -f $prefix/share/doc/orbel2/LICENSE ]]"
check "no internal header installed" "[[ ! -e $prefix/include/orbel2/video/Dx8gfx.h && ! -d $prefix/include/orbel2/video/platform ]]"

cp -r examples "$scratch/example"
cmake -S "$scratch/example" -B "$scratch/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" > "$scratch/configure.log"
cmake --build "$scratch/cmake-build" > "$scratch/build.log"
check "the example builds with find_package(Orbel2) from the prefix" "[[ -x $scratch/cmake-build/pendulum ]]"
check "nothing of the build points into the source tree" "! grep -rq '$root' $scratch/cmake-build/build.ninja $scratch/cmake-build/CMakeCache.txt"
check "the package carries -ffp-contract=off to its users" "grep -q -- '-ffp-contract=off' $scratch/cmake-build/build.ninja"

# A version the package does not take: 1.x, whose headers and names were
# laid out otherwise, asks for another major version.
mkdir -p "$scratch/wrong"
cat > "$scratch/wrong/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(Wrong LANGUAGES CXX)
find_package(Orbel2 1 CONFIG REQUIRED)
CMAKE
check "find_package refuses another major version" \
  "! cmake -S $scratch/wrong -B $scratch/wrong/build -DCMAKE_PREFIX_PATH=$prefix > $scratch/wrong.log 2>&1"

# The same program through pkg-config alone, without --static.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
g++ -std=c++20 "$scratch"/example/*.cpp $(pkg-config --cflags --libs orbel2) -o "$scratch/pendulum-pc"
check "the example builds through pkg-config --cflags --libs" "[[ -x $scratch/pendulum-pc ]]"
unset PKG_CONFIG_PATH

# A game with its own physics/Vector2D.h and kernel/OB_Errors.h first on its
# include path, and its own global AddCommand, LogWriteLine and TBody: built
# through CMake and through pkg-config, it compiles, links and runs.
cp -r tests/consumer "$scratch/consumer"
consumer_built=0
cmake -S "$scratch/consumer" -B "$scratch/consumer/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  > "$scratch/consumer.log" 2>&1 && cmake --build "$scratch/consumer/build" >> "$scratch/consumer.log" 2>&1 &&
  "$scratch/consumer/build/consumer" >> "$scratch/consumer.log" 2>&1 && consumer_built=1
check "a game with its own physics/Vector2D.h, kernel/OB_Errors.h, AddCommand, LogWriteLine and TBody builds with find_package and runs" \
  "(( consumer_built == 1 )) || { cat $scratch/consumer.log; false; }"
consumer_built=0
(cd "$scratch/consumer" && PKG_CONFIG_PATH=$prefix/lib/pkgconfig &&
  g++ -std=c++20 -Wall -Wextra -Werror -I. main.cpp $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs orbel2) -o consumer-pc &&
  ./consumer-pc) > "$scratch/consumer-pc.log" 2>&1 && consumer_built=1
check "the same game builds through pkg-config alone and runs" \
  "(( consumer_built == 1 )) || { cat $scratch/consumer-pc.log; false; }"
check "no header of the demo is installed, and no demo code is in the engine's libraries" \
  "[[ ! -e $prefix/include/orbel2/session/MainSession.h && ! -e $prefix/include/orbel2/physics/DemoScene.h && \
     ! -e $prefix/include/orbel2/physics/ScriptedRun.h && ! -d $prefix/include/demo ]] &&
   ! nm -C $prefix/lib/liborbel2engine.a $prefix/lib/liborbel2physics.a 2>/dev/null | grep -q -E 'TMainSession|BuildDemoBodies|ApplyDemoInput|RunScriptedDemo'"
# A name at global scope is a symbol that is either unmangled (a variable)
# or mangled as _Z and its length (a function); the engine has none.
check "every engine symbol of the libraries is in namespace orbel2" \
  "! nm --defined-only --extern-only $prefix/lib/liborbel2engine.a $prefix/lib/liborbel2physics.a 2>/dev/null |
     awk 'NF == 3 { print \$3 }' | grep -v '^DW\\.ref\\.' | grep -E '^(_Z[0-9]|[A-Za-z])'"

# Every CMake snippet of the README and the guide, and the README's
# pkg-config line, exactly as written, building the example's sources
# under the names they use.
snippet_sources() {
  cp "$scratch/example/main.cpp" "$1/main.cpp"
  cp "$scratch/example/PendulumSession.cpp" "$1/MySession.cpp"
  cp "$scratch/example/PendulumSession.h" "$1/"
}
blocks() { awk -v lang="$2" '$0 == "```" lang { inside = 1; n++; next } inside && $0 == "```" { inside = 0; print "" ; next }
  inside { printf "%d\t%s\n", n, $0 }' "$1"; }
for page in README.md docs/writing-a-session.md; do
  for n in $(blocks "$page" cmake | cut -f 1 | sort -u); do
    dir=$scratch/snippet-$(basename "$page" .md)-$n
    mkdir -p "$dir"
    blocks "$page" cmake | awk -F '\t' -v n="$n" '$1 == n { sub(/^[0-9]+\t/, ""); print }' > "$dir/CMakeLists.txt"
    snippet_sources "$dir"
    built=0
    cmake -S "$dir" -B "$dir/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" > "$dir.log" 2>&1 &&
      cmake --build "$dir/build" >> "$dir.log" 2>&1 && "$dir/build/mygame" --version >> "$dir.log" 2>&1 && built=1
    check "the CMake snippet $n of $page builds and runs as written" "(( built == 1 ))"
  done
  while IFS= read -r line; do
    dir=$scratch/snippet-pkg-config
    mkdir -p "$dir"
    snippet_sources "$dir"
    built=0
    (cd "$dir" && PKG_CONFIG_PATH=$prefix/lib/pkgconfig bash -c "$line" > "$dir.log" 2>&1 && ./mygame --version > /dev/null) && built=1
    check "the pkg-config line of $page builds and runs as written: $line" "(( built == 1 ))"
  done < <(blocks "$page" sh | cut -f 2 | grep -E '^g\+\+ .*pkg-config --cflags --libs orbel2' || true)
done

# The documentation where it is installed: its links lead to installed files.
check "the installed README, guide, physics limits, performance notes, pictures and examples" \
  "[[ -f $prefix/share/doc/orbel2/docs/writing-a-session.md && -f $prefix/share/doc/orbel2/docs/physics-limits.md && \
     -f $prefix/share/doc/orbel2/docs/performance.md && -f $prefix/share/doc/orbel2/docs/screenshot.png && \
     -f $prefix/share/doc/orbel2/examples/PendulumSession.cpp ]]"
check "every relative link of the installed documentation resolves" \
  "tools/check-links.sh $prefix/share/doc/orbel2 > $scratch/links.log"
check "the desktop entry, the icon at every size and the manual page are installed" \
  "[[ -f $prefix/share/applications/orbel2.desktop && -f $prefix/share/icons/hicolor/scalable/apps/orbel2.svg && \
     \$(ls $prefix/share/icons/hicolor/*/apps/orbel2.png | wc -l) -eq 6 && -f $prefix/share/man/man1/orbel2.1.gz ]]"
check "the desktop entry's StartupWMClass is the program's name, which is its window's X11 class" \
  "grep -q -x 'StartupWMClass=orbel2' $prefix/share/applications/orbel2.desktop"

run_dir=$scratch/run
mkdir -p "$run_dir"
(cd "$run_dir" && SDL_VIDEODRIVER=dummy SDL_RENDER_DRIVER=software "$scratch/cmake-build/pendulum" --frames 400 --record swing.rec)
log() { tr -d '\r' < "$run_dir/pendulum.log"; }
check "the example ran 400 frames headless into its own log and stopped the engine" \
  "log | head -n 1 | grep -q 'Orbel2 Initialized$' && log | tail -n 1 | grep -q 'Orbel2 Finalizing$'"
check "its device came up" "log | grep -q 'Kernel message: MSG_VIDEODEVICEINITIALIZED'"
size=$(stat -c %s "$run_dir/swing.rec")
replayed=0
(cd "$run_dir" && "$scratch/cmake-build/pendulum" --replay swing.rec > replay.txt 2> replay.err) || replayed=$?
records=$(sed -n -E 's/^records: ([0-9]+)$/\1/p' "$run_dir/replay.txt")
check "its recording replays headless with the core's --replay (status $replayed, $records records in $size bytes)" \
  "(( replayed == 0 && size == 12 + 8 * records && records > 0 ))"
check "the replay began from the recorded world and matched its checkpoints" \
  "[[ -f $run_dir/swing.rec.state ]] && grep -q -E '^checkpoints: [1-9][0-9]* matched in swing.rec.sum$' $run_dir/replay.txt"
(cd "$run_dir" && "$scratch/pendulum-pc" --replay swing.rec > replay-pc.txt 2>&1) || true
check "the pkg-config build replays it to the same world" "cmp -s $run_dir/replay.txt $run_dir/replay-pc.txt"
set +e
"$scratch/cmake-build/pendulum" --frames > /dev/null 2>&1
status=$?
set -e
check "a bad argument gets status 2" "(( status == 2 ))"

# The Debian package.
rm -f "$build"/orbel2_*.deb
(cd "$build" && cpack -G DEB > "$scratch/cpack.log" 2>&1)
deb=$(ls "$build"/orbel2_*.deb)
check "cpack made $(basename "$deb")" "[[ -f $deb ]]"
# Debian's own checks of the package: no error and no warning (the one
# override and its reason are in dist/lintian-overrides).
lintian_status=0
lintian --fail-on error,warning --tag-display-limit 0 "$deb" > "$scratch/lintian.log" 2>&1 || lintian_status=$?
check "lintian finds no error and no warning in it ($(grep -c -E '^[EW]:' "$scratch/lintian.log") tags)" \
  "(( lintian_status == 0 )) || { cat $scratch/lintian.log; false; }"
check "it depends on Debian's SDL2 libraries, bundling none" \
  "dpkg-deb -f $deb Depends | grep -q libsdl2-2.0-0 && ! dpkg-deb -c $deb | grep -q -E 'libSDL2[^ ]*\\.so'"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" > "$scratch/apt-install.log" 2>&1
check "apt-get installed it and orbel2 --version answers" "[[ \"\$(orbel2 --version | head -n 1)\" == 'orbel2 2.0.0' ]]"
check "its CMake package is where find_package looks" "[[ \$(dpkg -L orbel2) == */cmake/Orbel2/Orbel2Config.cmake* ]]"
# The consumer game again, against the system's copy: no prefix, no path.
system_built=0
rm -rf "$scratch/consumer-system"
cp -r tests/consumer "$scratch/consumer-system"
cmake -S "$scratch/consumer-system" -B "$scratch/consumer-system/build" -G Ninja > "$scratch/consumer-system.log" 2>&1 &&
  cmake --build "$scratch/consumer-system/build" >> "$scratch/consumer-system.log" 2>&1 &&
  "$scratch/consumer-system/build/consumer" >> "$scratch/consumer-system.log" 2>&1 &&
  (cd "$scratch/consumer-system" && g++ -std=c++20 -I. main.cpp $(pkg-config --cflags --libs orbel2) -o consumer-pc &&
    ./consumer-pc) >> "$scratch/consumer-system.log" 2>&1 && system_built=1
check "the consumer game builds against the installed package with find_package and with pkg-config, and runs" \
  "(( system_built == 1 )) || { cat $scratch/consumer-system.log; false; }"
check "man orbel2 shows its manual page" "man -P cat orbel2 2>/dev/null | grep -q 'EXIT STATUS'"
check "the desktop entry and the icon are installed" \
  "[[ -f /usr/share/applications/orbel2.desktop && -f /usr/share/icons/hicolor/48x48/apps/orbel2.png ]]"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y orbel2 > "$scratch/apt-remove.log" 2>&1
check "apt-get removed it again" "! dpkg -s orbel2 > /dev/null 2>&1 && [[ ! -e /usr/bin/orbel2 ]]"

echo "package: $passes passed, $failures failed"
exit $((failures > 0))
