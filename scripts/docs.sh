#!/bin/sh
# Builds the reference pages (HTML) into build/docs/html; any Doxygen warning fails it.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh docs
export KVO_DOCS_OUT=${1:-build/docs}
mkdir -p "$KVO_DOCS_OUT"
doxygen docs/Doxyfile
echo "docs: $KVO_DOCS_OUT/html/index.html"
