#!/bin/sh
# The marker-id encoding is written once, in vekwire/vek_types.h; every
# other C or C++ source (programs, tests, benchmarks) uses its helpers
# (vek_marker_id, vek_marker_tracker, vek_marker_index,
# VEK_MARKERS_PER_TRACKER). Fails, naming every place, when one writes the
# encoding out again: a shift by 12, a mask of 0xfff, or 4096.
#   vocabulary_check.sh SOURCE_DIR [BUILD_DIR]
source_dir=$1
build_dir=${2:-}
cd "$source_dir" || exit 2
build_dir=$(cd "${build_dir:-.}" && pwd)
encoding='(>>|<<)[[:space:]]*12\b|&[[:space:]]*0[xX][fF]{3}\b|(^|[^0-9A-Za-z_.])4096\b'
found=$(find . \( -name .git -o -name 'build*' -o -path "./${build_dir#"$PWD"/}" \) -prune -o -type f \
            \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print |
        grep -v '^\./vekwire/vek_types\.h$' | sort | xargs grep -HnE "$encoding")
if [ -n "$found" ]; then
    echo "error: the marker-id encoding outside vekwire/vek_types.h:"
    echo "$found"
    exit 1
fi
echo "the marker-id encoding stands only in vekwire/vek_types.h"
