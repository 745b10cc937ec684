# Sourced by the scripts that run other programs.
#   require_tools INSTALL_SCRIPT TOOL...
# Stops with one line that names the first missing tool and the script that
# installs it, instead of a bare "command not found" half-way through.
require_tools() {
  local script=$1 tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "$tool not found: run $script" >&2
      exit 1
    fi
  done
}
