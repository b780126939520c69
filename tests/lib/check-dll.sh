#!/usr/bin/env bash
# check-dll.sh OBJDUMP DLL EXE...: qxclass.dll exports its public classes and functions and nothing
# else, and it and the programs built with it import nothing beyond Windows' own DLLs (and qxclass.dll).
set -euo pipefail
objdump="$1"
dll="$2"
shift 2
status=0
exports=$("$objdump" -p "$dll" | sed -n '/Name Pointer\] Table/,/^$/{/Name Pointer/d;s/^.*\] //p}')
[ -n "$exports" ] || { echo "no exports found in $dll"; exit 1; }
public='^(_ZN|_ZNK|_ZTV|_ZTI|_ZTS)[0-9]+(CCommPort|CDatabase|CDosFile|CLogFile|CNamedPipe|CPipeService|CResStrings|CFileStat|CCommandLine|CDBRelation|CDde|CLauncher|CModem|CProcess|CUserProfile)|^_Z10TrimBlanksPc$|^_ZN2qx(3dbf)?[0-9]+(setErrorBoxHandler|showErrorBox|lockSettings|setLockSettings|tableCodePage|setTableCodePage)'
while read -r name; do
  if ! [[ "$name" =~ $public ]]; then
    echo "exported but not public: $name"
    status=1
  fi
done <<<"$exports"
allowed='^(KERNEL32|ADVAPI32|USER32|GDI32|SHELL32|OLE32|WS2_32|msvcrt|ucrtbase|api-ms-win-.*|qxclass)\.dll$'
for file in "$dll" "$@"; do
  while read -r import; do
    if ! [[ "$import" =~ $allowed ]]; then
      echo "$(basename "$file") imports $import"
      status=1
    fi
  done < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
exit $status
