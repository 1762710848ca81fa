#!/usr/bin/env bash
# A shipped program is a 32-bit Windows executable (GUI or console) that needs
# no DLL of its own: only system DLLs may be imported.
#   check_shipped_exe.sh <exe> <objdump> <GUI|console>
set -uo pipefail
exe=$1 objdump=$2 subsystem=$3
description=$(file -b "$exe")
case "$description" in
  "PE32 executable ($subsystem) Intel 80386"*) ;;
  *) echo "FAIL: $exe is not a PE32 $subsystem executable: $description" >&2; exit 1 ;;
esac
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
allowed='^(kernel32|user32|gdi32|gdiplus|msimg32|comctl32|comdlg32|shell32|shlwapi|ole32|oleaut32|advapi32|wininet|winmm|msvcrt|ntdll|version|uxtheme)\.dll$|^api-ms-win-'
bad=$(grep -Ev "$allowed" <<<"$imports" || true)
if [ -n "$bad" ]; then
  echo "FAIL: $exe imports DLLs that are not part of Windows: $bad" >&2
  exit 1
fi
echo "$exe: $description; imports: $(tr '\n' ' ' <<<"$imports")"
