#!/usr/bin/env bash
# Everything a load of the module keeps lives in its module object; Pelkorin's state lives
# in WinMain's record. This check finds state kept anywhere else:
#   - in the sources: the word `static` (other than static_cast and static_assert);
#   - in the compiled objects: writable data (nm types b, B, d, D), which is what any
#     namespace-scope or function-local variable that is not constant becomes.
# Allowed: the simulator's two records, which it reads and fills in, and the one pointer to
# the current module object.
# usage: check-no-globals.sh NM SOURCE_ROOT OBJECT_OR_ARCHIVE...
set -euo pipefail
nm=$1 root=$2
shift 2
allowed='^(ImportTable|Linkage|hv::\(anonymous namespace\)::loadedModule)$'
status=0

sources=$(cd "$root" && grep -rnwE 'static' --include='*.cpp' --include='*.h' \
  module feed voice dialog api remote common records | grep -vE 'static_(cast|assert)' || true)
if [ -n "$sources" ]; then
  echo "state or helpers declared static (keep state in the module object):"
  echo "$sources"
  status=1
fi

data=$("$nm" -C -A "$@" | grep -E ' [bBdD] ' | grep -vE ' [bBdD] \.[A-Za-z_.$]+$' || true)
while IFS= read -r line; do
  [ -z "$line" ] && continue
  name=${line#* [bBdD] }
  if ! [[ $name =~ $allowed ]]; then
    echo "writable data outside the module object: $line"
    status=1
  fi
done <<<"$data"
[ "$status" = 0 ] && echo "no state outside the module object"
exit "$status"
