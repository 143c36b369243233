# The two commands of the README: `make demo` and `make test`.
# Both install what they need first (scripts/bootstrap).

JOBS      ?= 2
# Wine runs the tests and the demo as the shipped 32-bit programs wherever
# 32-bit Wine runs, natively or through qemu-user (scripts/wine-road); only
# where neither works, as a 64-bit build of the same sources.
# TEST_ARCH=x86_64 is the fast option. Worked out at its first use in a
# recipe, after bootstrap has installed Wine and fetched qemu, and only then:
# the first use fixes it for every later one, so the build and the run agree.
TEST_ARCH ?= $(eval TEST_ARCH := $$(shell scripts/wine-arch))$(TEST_ARCH)
FUZZ_SECONDS ?= 20
# The 64-bit test build keeps a tree of its own, so the two never mix.
WINTEST = build/wintest$(if $(filter x86_64,$(TEST_ARCH)),-x86_64)

.PHONY: all deps dist repro lint wintest host test demo fuzz clean
all: dist

deps:
	@scripts/bootstrap

# The six shipped 32-bit files, staged flat.
dist: deps
	cmake --preset win32 >/dev/null
	cmake --build build/win32 -j$(JOBS)
	scripts/stage-dist build/win32 dist

# A second build of the commit in another folder gives dist/ byte for byte.
repro: dist
	scripts/repro-check dist

# The analyzers over the code that ships (scripts/lint). The third gate,
# gcc's strict warnings as errors, is the dist build itself.
lint: dist
	JOBS=$(JOBS) scripts/lint build/win32

wintest: deps
	cmake --preset wintest -B $(WINTEST) -DKX_WIN_ARCH=$(TEST_ARCH) >/dev/null
	cmake --build $(WINTEST) -j$(JOBS)

host: deps
	cmake --preset host -DKX_SANITIZE=ON -DKX_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	cmake --build build/host -j$(JOBS)

# The Wine tests run inside scripts/wine-ns: where the kernel can't run i386
# programs, that is a private namespace in which qemu-user runs them.
test: dist lint host wintest
	ctest --test-dir build/host -j$(JOBS) --output-on-failure
	KX_WIN_ARCH=$(TEST_ARCH) scripts/wine-ns ctest --test-dir $(WINTEST) -j$(JOBS) --output-on-failure; \
	  rc=$$?; scripts/wine-summary $(WINTEST); exit $$rc

demo: dist wintest
	KX_WIN_ARCH=$(TEST_ARCH) scripts/wine-ns scripts/demo $(WINTEST)

# Longer fuzzing: make fuzz FUZZ_SECONDS=600
fuzz: host
	ctest --test-dir build/host -R fuzz --output-on-failure

clean:
	rm -rf build dist
