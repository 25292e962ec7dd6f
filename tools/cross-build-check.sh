#!/usr/bin/env bash
# Builds the demo's scripted run (tools/scripted_run.cpp with the physics
# sources, nothing else) with every compiler and processor at hand and
# checks that each gives the determinism test's constant: GCC and Clang on
# this machine at several optimisation levels, a 32-bit SSE build, and GCC
# and Clang for aarch64, statically linked and run under qemu-aarch64. The
# 32-bit build is linked statically too and runs natively where the kernel
# runs 32-bit programs, else under qemu-i386 (ORBEL2_I386_UNDER_QEMU=1 asks
# for qemu-i386 anyway).
# Two builds must not pass, and are checked for that: one for aarch64 that
# lets the compiler fuse multiply-adds (-ffp-contract=fast) must give other
# bits, and one with x87 arithmetic (-m32 -mfpmath=387) must be refused by
# the physics headers.
# Usage: tools/cross-build-check.sh [build-dir]   (default build/cross)
# Needs: g++, clang++-14, g++-aarch64-linux-gnu, qemu-user, libc6-dev-i386,
# lib32stdc++-12-dev (tools/install-deps.sh test installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build/cross}
mkdir -p "$out"
expected=0xFC3CD19D07ADD753
sources=(tools/scripted_run.cpp orbel2/physics/*.cpp demo/DemoScene.cpp demo/ScriptedRun.cpp)
common=(-std=c++20 -I. -Wall -Wextra -Werror)
failures=0

report() {   # report ok|FAIL what detail
  printf '%-4s  %-76s %s\n' "$1" "$2" "$3"
  [[ "$1" == ok ]] || failures=$((failures + 1))
}

# build NAME RUNNER COMPILER FLAGS...: the scripted run's chained hash, or
# "build failed" with the compiler's first error line.
build_and_run() {
  local name=$1 runner=$2 compiler=$3
  shift 3
  local binary="$out/scripted-run-$name"
  if ! "$compiler" "${common[@]}" "$@" "${sources[@]}" -o "$binary" 2>"$binary.log"; then
    echo "build failed: $(grep -m1 error "$binary.log" || head -n 1 "$binary.log")"
    return
  fi
  local hashes
  hashes=$($runner "$binary")
  echo "${hashes%% *}"
}

# same NAME RUNNER COMPILER FLAGS...: must give the constant.
same() {
  local name=$1 runner=$2 compiler=$3
  shift 3
  local hash
  hash=$(build_and_run "$name" "$runner" "$compiler" "$@")
  if [[ "$hash" == "$expected" ]]; then
    report ok "$compiler $* ($name)" "$hash"
  else
    report FAIL "$compiler $* ($name)" "$hash, expected $expected"
  fi
}

native() { "$@"; }
emulated() { qemu-aarch64 "$@"; }
emulated_i386() { qemu-i386 "$@"; }

# Some kernels are built without 32-bit support ("Exec format error").
i386_runs_natively() {
  [[ "${ORBEL2_I386_UNDER_QEMU:-0}" != 1 ]] || return 1
  printf 'int main() { return 0; }\n' > "$out/probe-i386.cpp"
  g++ "${i386[@]}" -static "$out/probe-i386.cpp" -o "$out/probe-i386" 2>/dev/null && "$out/probe-i386" 2>/dev/null
}
# The kernel's x86 headers serve 32 and 64 bits alike, but only
# gcc-multilib links them where -m32 looks (asm/), and it cannot be
# installed beside the aarch64 cross-compiler: the 32-bit builds find them
# last on their include path instead.
mkdir -p "$out/i386-include"
[[ -e /usr/include/asm || -e "$out/i386-include/asm" ]] ||
  ln -s /usr/include/x86_64-linux-gnu/asm "$out/i386-include/asm"
i386=(-m32 -idirafter "$out/i386-include")
i386_runner=native
i386_name=i386-sse
if ! i386_runs_natively; then
  i386_runner=emulated_i386
  i386_name=i386-sse-qemu
fi

same x86_64-O0 native g++ -O0 -ffp-contract=off
same x86_64-O2 native g++ -O2 -ffp-contract=off
same x86_64-O3-native native g++ -O3 -march=native -ffp-contract=off
same clang-x86_64-O2 native clang++-14 -O2 -ffp-contract=off
same clang-x86_64-O3-native native clang++-14 -O3 -march=native -ffp-contract=off
same "$i386_name" "$i386_runner" g++ "${i386[@]}" -static -msse2 -mfpmath=sse -O2 -ffp-contract=off
same aarch64 emulated aarch64-linux-gnu-g++ -static -O2 -ffp-contract=off
same clang-aarch64 emulated clang++-14 --target=aarch64-linux-gnu -static -O2 -ffp-contract=off

# The flag matters: fused multiply-adds (every aarch64 has them, and qemu
# computes them exactly) take the run elsewhere.
hash=$(build_and_run aarch64-contracted emulated aarch64-linux-gnu-g++ -static -O2 -ffp-contract=fast)
if [[ "$hash" == 0x* && "$hash" != "$expected" ]]; then
  report ok "aarch64-linux-gnu-g++ -static -O2 -ffp-contract=fast: must differ" "$hash"
else
  report FAIL "aarch64-linux-gnu-g++ -static -O2 -ffp-contract=fast: must differ" "$hash"
fi

# x87 excess precision is refused at compile time, with the reason.
if g++ "${common[@]}" "${i386[@]}" -mfpmath=387 -fsyntax-only demo/DemoScene.cpp 2>"$out/x87.log"; then
  report FAIL "g++ -m32 -mfpmath=387: must be refused" "it compiled"
elif grep -q 'FLT_EVAL_METHOD 0' "$out/x87.log"; then
  report ok "g++ -m32 -mfpmath=387: must be refused" "refused: $(grep -m1 -o 'needs float arithmetic[^,]*' "$out/x87.log")"
else
  report FAIL "g++ -m32 -mfpmath=387: must be refused" "failed for another reason: $(grep -m1 error "$out/x87.log")"
fi

if ((failures > 0)); then
  echo "cross-build check: $failures FAILED"
  exit 1
fi
echo "cross-build check: every build gives $expected; the contracted one differs, x87 is refused"
