#!/usr/bin/env bash
# Fuzzes one decoder of outside bytes with libFuzzer (clang, ASan + UBSan) for a while.
#   bash tools/fuzz.sh reader 600    the record reader, fuzz_reader
#   bash tools/fuzz.sh reply 600     the meter reply decoder, fuzz_reply
# Builds in build-fuzz and grows a working corpus in build-fuzz/corpus-TARGET from the seeds in
# tests/fuzz/corpus/TARGET, which stay as they are. Crashing inputs are saved as
# tests/fuzz/crashes/TARGET-*; the replay tests then run them in every build.
# Further arguments go to libFuzzer, e.g. `-use_value_profile=1`.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    echo "usage: $0 reader|reply SECONDS [libFuzzer options...]" >&2
    exit 2
}
[[ $# -ge 2 ]] || usage
target=$1
seconds=$2
shift 2
[[ $target == reader || $target == reply ]] || usage
[[ $seconds =~ ^[0-9]+$ ]] || usage

if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: install Debian's clang package (apt-get install clang), libFuzzer comes with it" >&2
    exit 1
fi

dir=build-fuzz
# The libraries need the sanitizers and the coverage hooks too, so the flags go to the whole
# build; CC/CXX only count on the first configure.
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMD_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fsanitize=fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1" \
    >/dev/null
cmake --build "$dir" --target "fuzz_$target" -j"${MD_JOBS:-2}"

corpus=$dir/corpus-$target
mkdir -p "$corpus" tests/fuzz/crashes
cp tests/fuzz/corpus/"$target"/* "$corpus"/

options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
         -dict=tests/fuzz/"$target".dict -artifact_prefix=tests/fuzz/crashes/"$target"-)
# The driver drops a buffer past MaxReplyBytes before decoding it.
[[ $target == reply ]] && options+=(-max_len=4096)

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
log=$dir/fuzz-$target.log
stamp=$dir/fuzz-$target.start
touch "$stamp"
echo "fuzzing $target for $seconds s; output in $log"
status=0
"$dir/tests/fuzz/fuzz_$target" "${options[@]}" "$@" "$corpus" >"$log" 2>&1 || status=$?

grep -E '^#[0-9]+' "$log" | tail -n 1 || true
grep -E '^(Done [0-9]+ runs|stat::)' "$log" || true
found=$(find tests/fuzz/crashes -name "$target-*" -newer "$stamp" | sort)
if [[ $status -ne 0 || -n $found ]]; then
    echo "== fuzz_$target stopped with status $status; end of $log:"
    tail -n 60 "$log"
    echo "== new inputs: ${found:-none}"
    exit 1
fi
