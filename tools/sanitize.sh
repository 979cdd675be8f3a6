# Sourced by tools/test.sh and tools/fuzz.sh: the one sanitizer build they share (build-asan/).
# clang, AddressSanitizer + UndefinedBehaviorSanitizer, and libFuzzer's coverage instrumentation,
# so the same build runs the whole test suite and the fuzz targets.
sanitize_dir=build-asan
sanitize_configure() {
  CC=clang CXX=clang++ cmake -S . -B "$sanitize_dir" -DCMAKE_BUILD_TYPE=Debug \
    -DQOR_SANITIZE=ON -DQOR_BUILD_FUZZ=ON "$@" >/dev/null
}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Third-party caches only (poppler, fontconfig, cairo, ...): see the file.
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
