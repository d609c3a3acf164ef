# The two commands of the README: `make test` and `make demo`.
JOBS ?= $(shell nproc)

# The demo host against the sandbox it embeds (release build, the demo target only).
demo: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target orvane-demo
	./build/release/examples/demo-host/orvane-demo

.PHONY: deps test demo tsan release fuzz bench format clean

deps:
	./scripts/install-deps

# Every test, under ASan and UBSan, then the concurrent ones under TSan.
test: deps
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan

release: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

bench: release
	@for b in build/release/bench/orvane_bench_*; do [ -x "$$b" ] && "$$b"; done

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	./fuzz/run-all build/fuzz/fuzz

format:
	find core platform ui include tools examples tests bench fuzz \( -name '*.cpp' -o -name '*.hpp' \) -print0 | xargs -0 clang-format -i

clean:
	rm -rf build demo-out
