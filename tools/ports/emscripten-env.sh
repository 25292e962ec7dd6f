# Debian's Emscripten as the web build uses it. Sourced, not run.
# The machine's Node finds Debian's JavaScript modules (acorn, which the
# optimiser needs) only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Debian's cache is frozen and read-only; it already holds every library the
# build links (libc++ and libc++abi with exceptions among them), so it is
# used as it is.
