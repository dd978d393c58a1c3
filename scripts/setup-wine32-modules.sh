#!/usr/bin/env bash
# setup step: the 32-bit Wine modules the module tests read as data.
exec "$(dirname "$0")/fetch-wine32-modules.sh"
