#!/usr/bin/env bash
# The layers above the platform (src/jobs, src/core, src/forms) reach the system only through
# src/platform: no file there includes a system header (<unistd.h>, <fcntl.h>, <sys/...>, <dirent.h>,
# <poll.h>, <signal.h>, <windows.h>, ...). Standard C++ headers have no ".h"; the project's own library
# is included as <qxclass/...>.
#
#   scripts/check-layers.sh [SOURCE_ROOT]
#
# Prints each offending include as FILE:LINE: TEXT and fails when there is one.
set -euo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# Files allowed a system header while their calls are being moved; none today.
allowed=()

is_allowed() {
    local file=$1 a
    for a in "${allowed[@]}"; do
        [[ $file == "$a" ]] && return 0
    done
    return 1
}

failed=0
checked=0
while IFS= read -r -d '' file; do
    checked=$((checked + 1))
    hits=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>]+\.h>' "$file" | grep -vE '<qxclass/' || true)
    [[ -z $hits ]] && continue
    if is_allowed "$file"; then
        continue
    fi
    while IFS= read -r hit; do
        echo "$file:$hit"
    done <<<"$hits"
    failed=1
done < <(find src/jobs src/core src/forms -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

if ((checked == 0)); then
    echo "check-layers: no sources found below $root" >&2
    exit 2
fi
for a in "${allowed[@]}"; do
    if [[ -f $a ]] && ! grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>]+\.h>' "$a"; then
        echo "check-layers: note: $a includes no system header any more; take it off the allowed list"
    fi
done
if ((failed)); then
    echo "check-layers: system headers above the platform layer (move the calls into src/platform)" >&2
    exit 1
fi
echo "check-layers: $checked files of src/jobs, src/core and src/forms include no system header"
