#!/usr/bin/env bash
# Peak memory of the launcher's download path for 1 MiB and a large package (default 1G).
#   bench/download-memory.sh [size, e.g. 1G or 64M]
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/run" memory "${1:-1G}"
