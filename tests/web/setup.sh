#!/usr/bin/env bash
# Installs the pinned browser driver (puppeteer-core, no browser of its own)
# into tests/web/node_modules, again only when the lock file changed.
set -euo pipefail
cd "$(dirname "$0")"
if [[ node_modules/.package-lock.json -nt package-lock.json ]]; then
    exit 0
fi
npm ci --no-audit --no-fund --loglevel=error
