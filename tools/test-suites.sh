# The test suites, as functions that tools/test.sh and tools/stress-tests.sh run; sourced, not run.
# run_suite NAME runs one, with its output shown and kept, and adds its counts to the totals.

jobs=$(nproc)
ctest_args=(--output-on-failure -j "$jobs" ${ORBA_CTEST_ARGS:-})
suite_lines=()
total_passed=0
total_failed=0

build_linux() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_BUILD_TESTS=ON &&
        cmake --build build -j "$jobs"
}

build_sanitize() {
    cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBA_SANITIZE=ON \
          -DORBA_BUILD_BENCH=OFF -DORBA_BUILD_TESTS=ON &&
        cmake --build build-sanitize -j "$jobs"
}

build_windows() {
    tools/build-windows.sh
}

build_installer() {
    build_windows && (cd build-windows && cpack -G NSIS >/dev/null)
}

test_linux() {
    ctest --test-dir build "${ctest_args[@]}"
}

test_sanitize() {
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-sanitize "${ctest_args[@]}"
}

# A prefix of our own, made afresh. Its server is started and the prefix booted once, before the
# tests start side by side: Wine processes that start together on a new prefix can miss each
# other's server. The boot runs on the virtual display the window tests need, as the desktop
# process it starts keeps that display. The display is large enough for the window at twice the
# scale.
test_windows() {
    local prefix status
    prefix=$(mktemp -d)
    WINEPREFIX=$prefix xvfb-run -a -s "-screen 0 2560x1440x24" bash -c "
        set -e
        /usr/lib/wine/wineserver -p
        trap '/usr/lib/wine/wineserver -k || true' EXIT
        tools/wine-run.sh wineboot.exe --init
        tools/wine-fonts.sh
        ctest --test-dir build-windows $(printf '%q ' "${ctest_args[@]}")"
    status=$?
    rm -rf "$prefix"
    return $status
}

# The Windows installer: installed silently into a fresh prefix, checked, removed silently.
test_installer() {
    xvfb-run -a tools/test-windows-installer.sh
}

run_suite() {
    local name=$1 log passed failed line
    log=$(mktemp)
    echo "== $name =="
    if ! "build_$name" 2>&1 | tee "$log"; then
        suite_lines+=("$name: could not be built")
        total_failed=$((total_failed + 1))
        rm -f "$log"
        return
    fi
    "test_$name" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    # ctest ends with "N% tests passed, F tests failed out of T"; a script counts as one test.
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        passed=$(( $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line") - failed ))
        [ "$status" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1
    elif [ "$status" -eq 0 ]; then
        passed=1 failed=0
    else
        passed=0 failed=1
    fi
    # The names of the failed tests, as ctest lists them at its end.
    local names
    names=$(sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' |
            sed -E 's/^\s+[0-9]+ - ([^ ]+).*/\1/' | tr '\n' ' ')
    suite_lines+=("$name: $passed passed, $failed failed${names:+ ($names)}")
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    rm -f "$log"
}

print_summary() {
    echo
    printf '%s\n' "${suite_lines[@]}"
    echo "tests: $total_passed passed, $total_failed failed"
    [ "$total_failed" -eq 0 ]
}
