# The README's commands are scripts/run.sh and scripts/test.sh; these targets
# are shortcuts to them and to the other scripts for machines that have make.
# make run      the product: server with demo data and the client under Wine.
# make test     installs what is missing (apt), builds all three configurations
#               and runs every test: native (sanitized, with the fuzzers) and
#               the x86_64 Windows build under Wine and Xvfb.
# make build    the three configurations only.
# make bench    every benchmark once, then the README's benchmark table.
# make fuzz     the fuzzers alone, for longer (FUZZ_SECONDS, default 600).

JOBS ?= 2
FUZZ_SECONDS ?= 600
export JOBS

.PHONY: run test build bootstrap bench fuzz clean

run:
	scripts/run.sh

test:
	scripts/test.sh

build: bootstrap
	scripts/build.sh native win64 win32

bootstrap:
	scripts/bootstrap.sh

bench:
	scripts/bench.sh

fuzz: build
	for f in build/native/fuzz/*; do \
	    [ -f $$f ] && [ -x $$f ] || continue; \
	    scripts/run-fuzzer.sh $$f $$f-corpus tests/fuzz/corpus/$$(basename $$f) $(FUZZ_SECONDS) || exit 1; \
	done

clean:
	rm -rf build
