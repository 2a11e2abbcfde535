#!/bin/sh
# Runs a command without the two capabilities that let root ignore file permissions, so
# that the tests of unreadable files and read-only folders run for root too (CI runs as
# root). Other users have no such capabilities: the command runs as it is.
if [ "$(id -u)" -eq 0 ]; then
  if ! command -v capsh >/dev/null 2>&1; then
    echo "without-dac-override: capsh is missing (package libcap2-bin)" >&2
    exit 1
  fi
  exec capsh --drop=cap_dac_override,cap_dac_read_search -- -c 'exec "$@"' without-dac-override "$@"
fi
exec "$@"
