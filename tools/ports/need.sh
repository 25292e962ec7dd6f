# need COMMAND PACKAGE...: installs the Debian packages when COMMAND is
# missing (as root, through apt-get); on failure prints one line naming what
# could not be had and exits 1, so that a test counts as failed, never as
# passed. Sourced by the end-to-end scripts; NEED_WHO names the caller.
need() {
    local command=$1
    shift
    command -v "$command" >/dev/null 2>&1 && return 0
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" >/dev/null 2>&1 ||
            { apt-get update -q >/dev/null 2>&1 &&
              DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" >/dev/null 2>&1; } || true
    fi
    command -v "$command" >/dev/null 2>&1 && return 0
    echo "${NEED_WHO:-test}: FAILED: $command is missing and could not be installed (packages: $*)"
    exit 1
}
