# The two commands of the README: `make test` and `make demo`.
JOBS ?= $(shell nproc)
# Seconds each fuzz target runs in `make test` (`make fuzz` takes FUZZ_SECONDS, default 60).
TEST_FUZZ_SECONDS ?= 3
# The files `make format` rewrites and `make test` checks.
FORMAT_FILES = $(shell find core platform ui include tools examples tests bench fuzz capi -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.c' | sort)

# The demo host, built against an install of the release build, with the installed
# sandbox; without a display the headless tour (scripts/demo says how).
demo: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target orvane orvane_c orvane-sandbox orvane-tour
	./scripts/demo build/release

.PHONY: deps test demo tsan release fuzz bench format format-check tidy clean library

deps:
	./scripts/install-deps

stage = @echo "== $(1) [$$(date +%T)]"

define format_check
	$(call stage,format)
	@out=$$(clang-format --dry-run --Werror $(FORMAT_FILES) 2>&1) && exit 0; \
	bad=$$(printf '%s\n' "$$out" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/  \1/p' | sort -u); \
	echo "Not clang-formatted (make format fixes them):"; printf '%s\n' "$${bad:-$$out}"; exit 1
endef

# The fuzz preset's build is core-only and uses clang, like clang-tidy: its compile
# commands serve both.
define tidy_run
	$(call stage,clang-tidy)
	cmake --preset fuzz
	JOBS=$(JOBS) ./scripts/tidy build/fuzz
endef

define dev_run
	$(call stage,dev: every test under ASan and UBSan)
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev
endef

define tsan_run
	$(call stage,tsan: the tests labelled concurrency under TSan)
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan
endef

define fuzz_build
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
endef

define release_build
	$(call stage,release: everything at -O3 with warnings as errors)
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
endef

# What a host gets: each release library's exported symbols against its headers in
# include/orvane/, and hosts built against an install, with CMake and with pkg-config.
define library_check
	$(call stage,library: exported symbols of both libraries and hosts built against an install)
	./scripts/check-exports --skip orvane/orvane.h build/release/ui/liborvane.so include build/release/public
	./scripts/check-exports --only orvane/orvane.h build/release/capi/liborvane_c.so include
	./scripts/check-consumer build/release
endef

library: release
	$(library_check)

# Cheap checks first; then every test, the threaded ones under TSan, each fuzz target on
# its corpus and briefly beyond, the release build that `make bench` and packagers use
# (with the soak run on it once more), and what a host gets from an install.
test: deps
	$(format_check)
	$(tidy_run)
	$(dev_run)
	$(tsan_run)
	$(call stage,fuzz: every corpus replayed and each target fuzzed $(TEST_FUZZ_SECONDS) s)
	$(fuzz_build)
	FUZZ_SECONDS=$(TEST_FUZZ_SECONDS) ./fuzz/run-all build/fuzz/fuzz
	$(release_build)
	$(call stage,release: the soak again at -O3, where timing and layout differ from the sanitizers)
	ctest --preset release -L soak
	$(library_check)
	$(call stage,done)

format-check:
	$(format_check)

tidy: deps
	$(tidy_run)

tsan: deps
	$(tsan_run)

release: deps
	$(release_build)

bench: release
	@for b in build/release/bench/orvane_bench_*; do [ -x "$$b" ] && "$$b"; done

fuzz: deps
	$(fuzz_build)
	./fuzz/run-all build/fuzz/fuzz

format:
	clang-format -i $(FORMAT_FILES)

clean:
	rm -rf build demo-out
