# make test     installs what is missing (apt), builds all three configurations
#               and runs every test: native (sanitized, with the fuzzers) and
#               the x86_64 Windows build under Wine and Xvfb.
# make build    the three configurations only.
# make bench    the benchmarks (native, and the Windows client's under Wine).
# make fuzz     the fuzzers alone, for longer (FUZZ_SECONDS, default 600).

JOBS ?= 2
FUZZ_SECONDS ?= 600

.PHONY: test build bootstrap configure bench fuzz clean

test: build
	ctest --test-dir build/native -j$(JOBS) --output-on-failure
	scripts/test-win64.sh build/win64

build: configure
	cmake --build --preset native -j$(JOBS)
	cmake --build --preset win64 -j$(JOBS)
	cmake --build --preset win32 -j$(JOBS)

configure: bootstrap
	cmake --preset native >/dev/null
	cmake --preset win64 >/dev/null
	cmake --preset win32 >/dev/null

bootstrap:
	scripts/bootstrap.sh

bench: build
	build/native/bench/wire_bench
	if [ -x build/native/bench/server/server_bench ]; then build/native/bench/server/server_bench; fi
	scripts/bench-win64.sh build/win64

fuzz: build
	for f in build/native/fuzz/*; do \
	    [ -f $$f ] && [ -x $$f ] || continue; \
	    scripts/run-fuzzer.sh $$f $$f-corpus tests/fuzz/corpus/$$(basename $$f) $(FUZZ_SECONDS) || exit 1; \
	done

clean:
	rm -rf build
