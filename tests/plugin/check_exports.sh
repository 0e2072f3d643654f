#!/bin/sh
# check_exports.sh MODULE SYMBOL...: the module's dynamic symbol table defines
# exactly the given symbols.
module=$1
shift
actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
if [ "$actual" != "$expected" ]; then
    echo "exported: $actual"
    echo "expected: $expected"
    exit 1
fi
echo "exports: $actual"
