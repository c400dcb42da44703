# make test   installs what is missing, builds, and runs every test twice:
#             a warnings-as-errors build and an ASan+UBSan build.
# make bench  runs the benchmarks (see bench/README.md).
JOBS ?= $(shell nproc)

FUZZ_SECONDS ?= 30

.PHONY: deps build build-asan test test-release test-asan fuzz-smoke bench format clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_WERROR=ON
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_WERROR=ON -DKELVO_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)

test-release: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# A short libFuzzer run over the script reader keeps the target alive; set
# FUZZ_SECONDS for a longer one.
fuzz-smoke: deps
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_FUZZ=ON -DKELVO_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS) --target read_script_fuzz
	mkdir -p build-fuzz/corpus && cp fuzz/corpus/read_script/* build-fuzz/corpus/
	build-fuzz/fuzz/read_script_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=1024 \
	  -max_len=1048576 -print_final_stats=1 build-fuzz/corpus

test: test-release fuzz-smoke test-asan

bench: build
	./bench/run.sh build

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz
