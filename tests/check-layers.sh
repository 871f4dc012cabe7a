#!/usr/bin/env bash
# The folders' include arrows run one way (the README's layout table): each folder may
# include only itself and the folders named here.
# usage: check-layers.sh SOURCE_ROOT
set -euo pipefail
cd "$1"
declare -A may=(
  [records]=""
  [common]="records"
  [feed]="records common"
  [voice]="records common"
  [api]="records common"
  [dialog]="records common api voice"
  [module]="records common feed voice api dialog"
  [remote]="common"
  # the programs and checks around them: nothing includes demo/ or tools/
  [tools]="records feed voice dialog"
  [fuzz]="records feed"
  [bench]="records feed"
  [tests]="records common feed voice api dialog module remote"
  [demo]="records common feed voice api dialog module remote tests"
)
status=0
for folder in "${!may[@]}"; do
  allowed="$folder ${may[$folder]}"
  while IFS=: read -r file line target; do
    if [[ " $allowed " != *" $target "* ]]; then
      echo "$file:$line: $folder/ includes $target/"
      status=1
    fi
  done < <(grep -rnoE '^#include "[a-z]+/' "$folder" | sed -E 's|#include "([a-z]+)/|\1|')
done
[ "$status" = 0 ] && echo "include arrows run one way"
exit "$status"
