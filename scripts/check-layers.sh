#!/usr/bin/env bash
# Fails when a folder of the core includes a header from a folder above it,
# from a folder outside the core (the wizard, the command-line tool) or from Qt.
# Usage: check-layers.sh SOURCE_DIR FOLDER... with the core's folders from the
# bottom up; a folder may include its own headers and those of the folders
# before it.
set -euo pipefail
source_dir=$1
shift
layers=("$@")

failures=0
for ((level = 0; level < ${#layers[@]}; level++)); do
    folder=${layers[level]}
    allowed=" ${layers[*]:0:level+1} "
    while IFS= read -r file; do
        while IFS= read -r line; do
            [[ $line =~ include[[:space:]]*([<\"])([^>\"]*) ]] || continue
            header=${BASH_REMATCH[2]}
            if [[ ${BASH_REMATCH[1]} == '<' && $header == Q* ]]; then
                echo "$folder/${file#"$source_dir/$folder/"} includes Qt: $header"
                failures=$((failures + 1))
            elif [[ ${BASH_REMATCH[1]} == '"' && ($header != */* || $allowed != *" ${header%%/*} "*) ]]; then
                echo "$folder/${file#"$source_dir/$folder/"} includes $header"
                failures=$((failures + 1))
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
    done < <(find "$source_dir/$folder" -name '*.h' -o -name '*.cpp' | sort)
done

if ((failures > 0)); then
    echo "check-layers: $failures include lines reach up or out of the core (order from the bottom: ${layers[*]})"
    exit 1
fi
echo "check-layers: the core's folders include only their own headers and those below (${layers[*]})"
