#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh            -> build/        (RelWithDebInfo)
#   scripts/build.sh --asan     -> build-asan/   (AddressSanitizer + UBSan)
#   scripts/build.sh --fuzz     -> build-fuzz/   (clang, libFuzzer targets only)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

mode="${1:-}"
case "$mode" in
  "")      dir=build;      args=() ;;
  --asan)  dir=build-asan; args=(-DVESK_SANITIZE=ON -DVESK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  --fuzz)  dir=build-fuzz; args=(-DVESK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
                                 -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: $0 [--asan|--fuzz]" >&2; exit 2 ;;
esac

if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
