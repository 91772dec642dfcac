#!/bin/sh
# Fails if the shared library imports anything that reads the environment, opens files or starts
# threads: the library works only on what its caller hands it.
set -eu
lib=$1
bad=$(nm -D --undefined-only "$lib" | awk '{print $NF}' | sed 's/@.*//' |
  grep -E '^(getenv|secure_getenv|__secure_getenv|environ|__environ|fopen|fopen64|open|open64|openat|creat|creat64|mkstemp|pthread_create|thrd_create|fork|system|popen)$' || true)
if [ -n "$bad" ]; then
  echo "the library imports:"
  echo "$bad" | sed 's/^/  /'
  exit 1
fi
echo "imports: no environment, file or thread functions"
