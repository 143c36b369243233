# The two commands of the README: `make demo` and `make test`.
# Both install what they need first (scripts/bootstrap).

JOBS      ?= 2
# Wine runs the tests and the demo as 32-bit programs where this machine can,
# else as a 64-bit build of the same sources (scripts/wine-arch says why).
TEST_ARCH ?= $(shell scripts/wine-arch)
FUZZ_SECONDS ?= 20

.PHONY: all deps dist wintest host test demo fuzz clean
all: dist

deps:
	@scripts/bootstrap

# The six shipped 32-bit files, staged flat.
dist: deps
	cmake --preset win32 >/dev/null
	cmake --build build/win32 -j$(JOBS)
	scripts/stage-dist build/win32 dist

wintest: deps
	cmake --preset wintest -DKX_WIN_ARCH=$(TEST_ARCH) >/dev/null
	cmake --build build/wintest -j$(JOBS)

host: deps
	cmake --preset host -DKX_SANITIZE=ON -DKX_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	cmake --build build/host -j$(JOBS)

test: dist host wintest
	ctest --test-dir build/host -j$(JOBS) --output-on-failure
	ctest --test-dir build/wintest -j$(JOBS) --output-on-failure

demo: dist wintest
	scripts/demo build/wintest

# Longer fuzzing: make fuzz FUZZ_SECONDS=600
fuzz: host
	ctest --test-dir build/host -R fuzz --output-on-failure

clean:
	rm -rf build dist
