# make test   installs what is missing, builds, and runs every test twice:
#             a warnings-as-errors build and an ASan+UBSan build.
# make bench  runs the benchmarks (see bench/README.md).
# make demo   builds the program and packages the sample release unattended.
# make run    opens the window with the sample job loaded (needs a desktop).
# make package builds the Debian package from a Release build installed in
#             /usr (build-package/kelvo32_<version>_<arch>.deb) and checks it.
JOBS ?= $(shell nproc)

# The program the demo runs.
KELVO32 ?= build/app/kelvo32

.PHONY: deps build build-asan test test-release test-asan fuzz-smoke bench format clean \
  demo run demo-programs screenshots package

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

# A short libFuzzer run of every target, each from its seeds copied into
# build-fuzz/corpus/<target> (kept, so later runs go on from there): 30 s for
# the script reader and 10 s for each other target, or FUZZ_SECONDS for every
# one (make fuzz-smoke FUZZ_SECONDS=600). UBSan findings count as crashes
# and an input that takes 30 s as a hang; crash files go to build-fuzz/.
FUZZ_TARGETS = read_script command_line size_text settings_file drive_table archiver_args \
  zip_end_record text_picture
FUZZ_SECONDS_read_script = 30
FUZZ_FLAGS_read_script = -max_len=1048576
# Room for a zip with a 65,535-byte comment.
FUZZ_FLAGS_zip_end_record = -max_len=70000

# fuzz_run(target): one target from its corpus, for its time.
define fuzz_run
	mkdir -p build-fuzz/corpus/$(1) && cp fuzz/corpus/$(1)/* build-fuzz/corpus/$(1)/
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 build-fuzz/fuzz/$(1)_fuzz \
	  -max_total_time=$(or $(FUZZ_SECONDS),$(FUZZ_SECONDS_$(1)),10) -timeout=30 -rss_limit_mb=1024 \
	  -print_final_stats=1 -artifact_prefix=build-fuzz/$(1)- $(FUZZ_FLAGS_$(1)) build-fuzz/corpus/$(1)

endef

fuzz-smoke: deps
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_FUZZ=ON -DKELVO_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS) --target $(addsuffix _fuzz,$(FUZZ_TARGETS))
	$(foreach t,$(FUZZ_TARGETS),$(call fuzz_run,$(t)))
test: test-release fuzz-smoke test-asan

# A picture of every panel, of the splash screen and of a run, in a real X
# server (window masks and grabs need one).
screenshots: build
	xvfb-run -a -s "-screen 0 1280x1024x24" build/tests/kelvo_screenshots build/screenshots

bench: build
	./bench/run.sh build

# Only what the demo runs: the program, its tools and the sample's layout tool.
demo-programs: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_WERROR=ON
	cmake --build build -j $(JOBS) --target $(notdir $(KELVO32)) kelvo_tools kelvo_sample

demo: demo-programs
	./samples/demo.sh package $(KELVO32)

# Says why before building anything when there is no desktop to open on.
run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run opens a window and needs a desktop: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2; \
	  echo "Use 'make demo' to package the sample release without one." >&2; exit 1; fi
	$(MAKE) demo-programs
	./samples/demo.sh window $(KELVO32)

# Debian's own build flags: all its hardening, and its -O2, which the tests'
# build uses too (GCC 12 at -O3 warns falsely inside libstdc++'s strings).
# No -g: the package strips the binaries.
PACKAGE_DIR = build-package
PACKAGE_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get

package: deps
	cmake -S . -B $(PACKAGE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_WERROR=ON \
	  -DKELVO_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
	  "-DCMAKE_CXX_FLAGS=$$($(PACKAGE_FLAGS) CPPFLAGS) $$($(PACKAGE_FLAGS) CXXFLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$$($(PACKAGE_FLAGS) LDFLAGS)"
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	rm -f $(PACKAGE_DIR)/kelvo32_*.deb
	cd $(PACKAGE_DIR) && cpack
	./tests/package/check_package.sh $(PACKAGE_DIR)/kelvo32_*.deb
	@echo "The package: $$(ls $(PACKAGE_DIR)/kelvo32_*.deb)"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz $(PACKAGE_DIR)
