#!/usr/bin/env bash
# The engine as others use it: installed into a scratch prefix, the example
# program built from that prefix alone (its sources copied out of the tree,
# so no path leads back here), through CMake and through pkg-config, run
# headless with a recording and a replay; then the Debian package built with
# cpack, installed with apt-get, asked its version, and removed again.
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

# A version the package does not take: 2.x asks for another major version.
mkdir -p "$scratch/wrong"
cat > "$scratch/wrong/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(Wrong LANGUAGES CXX)
find_package(Orbel2 2 CONFIG REQUIRED)
CMAKE
check "find_package refuses another major version" \
  "! cmake -S $scratch/wrong -B $scratch/wrong/build -DCMAKE_PREFIX_PATH=$prefix > $scratch/wrong.log 2>&1"

# The same program through pkg-config alone.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
g++ -std=c++20 $(pkg-config --cflags orbel2) "$scratch"/example/*.cpp -o "$scratch/pendulum-pc" \
  $(pkg-config --libs --static orbel2)
check "the example builds through pkg-config" "[[ -x $scratch/pendulum-pc ]]"
unset PKG_CONFIG_PATH

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
check "it depends on Debian's SDL2 libraries, bundling none" \
  "dpkg-deb -f $deb Depends | grep -q libsdl2-2.0-0 && ! dpkg-deb -c $deb | grep -q -E 'libSDL2[^ ]*\\.so'"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" > "$scratch/apt-install.log" 2>&1
check "apt-get installed it and orbel2 --version answers" "[[ \"\$(orbel2 --version | head -n 1)\" == 'orbel2 1.0.0' ]]"
check "its CMake package is where find_package looks" "dpkg -L orbel2 | grep -q 'cmake/Orbel2/Orbel2Config.cmake$'"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y orbel2 > "$scratch/apt-remove.log" 2>&1
check "apt-get removed it again" "! dpkg -s orbel2 > /dev/null 2>&1 && [[ ! -e /usr/bin/orbel2 ]]"

echo "package: $passes passed, $failures failed"
exit $((failures > 0))
