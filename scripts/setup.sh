#!/usr/bin/env bash
# Prepares a machine for every build of the project: Debian packages, then the
# static MinGW libraries the stub links. Both steps are idempotent and quick
# when everything is already in place.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bash "$here/install-deps.sh"
# Only the 32-bit build's Wine runs need it; everything else goes on without.
bash "$here/enable-i386.sh" || echo "setup: 32-bit programs cannot run here; the win32 tests will not run" >&2
bash "$here/build-win-deps.sh" i686
bash "$here/build-win-deps.sh" x86_64
