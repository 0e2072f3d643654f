#!/bin/sh
# check_dll_exports.sh DLL SYMBOL...: the DLL's export table names exactly the
# given symbols, and the DLL needs no DLL beyond the system's own.
dll=$1
shift
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
table=$("$objdump" -p "$dll") || exit 1
actual=$(printf '%s\n' "$table" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
if [ "$actual" != "$expected" ]; then
    echo "exported: $actual"
    echo "expected: $expected"
    exit 1
fi
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for import in $imports; do
    case $import in
    kernel32.dll | msvcrt.dll | ole32.dll | oleaut32.dll) ;;
    *)
        echo "needs $import (imports: $imports)"
        exit 1
        ;;
    esac
done
echo "exports: $actual"
echo "imports: $imports"
