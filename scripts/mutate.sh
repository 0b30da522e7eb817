#!/usr/bin/env bash
# Mutation run (long; not part of CI): see docs/TESTING.md.
# Usage: scripts/mutate.sh [--seed N] [--count N] [--list] [--only N,M] [--jobs N] [--sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
exec nice -n 10 python3 scripts/mutate.py "$@"
