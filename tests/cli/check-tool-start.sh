#!/usr/bin/env bash
# Fails when the orvel program at $1 would load ICU or, unless $2 is "shared-runtime" (sanitizer
# builds), the shared C++ runtime, or when code of ours runs before main: each costs start time.
set -euo pipefail
tool="$1" runtime="${2:-static-runtime}" bad=0
needed=$(readelf -d "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
forbidden='^libicu'
[ "$runtime" = shared-runtime ] || forbidden='^(libicu|libstdc\+\+|libgcc_s)'
if grep -E "$forbidden" <<<"$needed"; then
  echo "orvel loads the libraries above"; bad=1
fi
# Static initialisers are named after their source file; the C++ runtime's own are *.cc.
if nm "$tool" | grep -E '_GLOBAL__sub_I_.*\.(cpp|cxx)$'; then
  echo "orvel runs the static initialisers above before main"; bad=1
fi
exit "$bad"
