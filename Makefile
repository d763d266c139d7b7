# Entry points for newcomers and CI: `make demo` and `make check`.
# Both install what is missing first (scripts/install-deps).

JOBS    := $(shell nproc 2>/dev/null || echo 2)
NATIVE  := build/native
ASAN    := build/asan
CMAKE   := cmake -G Ninja -Wno-dev

.PHONY: all deps native asan check check-native check-asan check-valgrind win32 check-win32 win32-dll check-setup win64 check-win64 dist deb check-deb fuzz demo bench clean

all: native

deps:
	@scripts/install-deps

native: deps
	@$(CMAKE) -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNOCRYPT_WERROR=ON >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

asan: deps
	@$(CMAKE) -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DZARNOCRYPT_WERROR=ON -DZARNOCRYPT_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

check-native: native
	@echo "== native tests =="
	@ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

# LeakSanitizer is part of AddressSanitizer on Linux x86_64; asked for
# explicitly so that no inherited ASAN_OPTIONS switches it off.
check-asan: asan
	@echo "== native tests under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer =="
	@ASAN_OPTIONS=detect_leaks=1 ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

# The native test programs under valgrind memcheck (about 20 s in all);
# tests/valgrind.supp holds what is GoogleTest's, not ours. The allocation
# failure suite replaces operator new, which memcheck would take for
# mismatched frees; it counts its own allocations and runs under ASan.
VALGRIND := valgrind -q --error-exitcode=1 --leak-check=full --suppressions=tests/valgrind.supp

check-valgrind: native
	@echo "== native tests under valgrind memcheck =="
	@for test in $(filter-out %/allocation_failure_tests,$(wildcard $(NATIVE)/tests/*_tests)); do \
	  log=$$($(VALGRIND) $$test 2>&1) || { echo "$$log"; echo "valgrind: $$test failed"; exit 1; }; \
	  echo "$$test: clean"; \
	done

# The Windows tree: cross-built with MinGW-w64 (cmake/mingw-i686.cmake) and
# tested under Wine in a private 32-bit prefix. The native tree is built too:
# Windows results are compared with the native CLI's.
WIN32TREE := build/win32
WINE_ENV  := WINEPREFIX=$(CURDIR)/build/wine32 WINEARCH=win32 WINEDEBUG=-all LC_ALL=en_US.UTF-8
# The tests that register Zarnocrypt.dll change the registry of a prefix of their own.
SERVER_PREFIX := $(CURDIR)/build/wine32-server

win32: deps
	@$(CMAKE) -S . -B $(WIN32TREE) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNOCRYPT_WERROR=ON \
	  -DZARNOCRYPT_WINEPREFIX=$(CURDIR)/build/wine32 -DZARNOCRYPT_NATIVE_TREE=$(CURDIR)/$(NATIVE) >/dev/null
	@cmake --build $(WIN32TREE) -j $(JOBS) $(WIN32_TARGET)

# Only Zarnocrypt.dll of the Windows tree, which the demo registers.
win32-dll:
	@$(MAKE) --no-print-directory win32 WIN32_TARGET='--target Zarnocrypt'

# One wineserver serves all tests (each Wine process would otherwise wait
# for its own), and it is stopped on every way out, failures included.
check-win32: win32 native
	@echo "== Windows tests under Wine =="
	@mkdir -p build/wine32 $(SERVER_PREFIX)
	@export $(WINE_ENV); \
	  trap 'WINEPREFIX=$(CURDIR)/build/wine32 wineserver -k 2>/dev/null || true; \
	        WINEPREFIX=$(SERVER_PREFIX) wineserver -k 2>/dev/null || true' EXIT; \
	  wineserver -p 2>/dev/null || true; wine cmd /c exit 0 >/dev/null 2>&1; \
	  export WINEPREFIX=$(SERVER_PREFIX); wineserver -p 2>/dev/null || true; wine cmd /c exit 0 >/dev/null 2>&1; \
	  ctest --test-dir $(WIN32TREE) --output-on-failure -j $(JOBS)

# Setup's dialogs, driven under Xvfb, each case in a fresh Wine prefix
# (build/wine32-setup); screenshots go to build/win32/screenshots.
check-setup: win32
	@echo "== Setup dialogs under Wine and Xvfb =="
	@xvfb-run -a -s '-screen 0 1024x768x24' tests/win32/setup/run_setup_tests.sh $(WIN32TREE)

# The 64-bit tree (cmake/mingw-x86_64.cmake): the same sources for x64,
# tested under 64-bit Wine. Its side-by-side test registers the 32-bit
# tree's DLL beside its own, in the server prefix.
WIN64TREE       := build/win64
WINE64_PREFIX   := $(CURDIR)/build/wine64
SERVER64_PREFIX := $(CURDIR)/build/wine64-server

win64: deps
	@$(CMAKE) -S . -B $(WIN64TREE) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNOCRYPT_WERROR=ON \
	  -DZARNOCRYPT_WINEPREFIX=$(WINE64_PREFIX) -DZARNOCRYPT_SERVER_WINEPREFIX=$(SERVER64_PREFIX) \
	  -DZARNOCRYPT_NATIVE_TREE=$(CURDIR)/$(NATIVE) -DZARNOCRYPT_WIN32_TREE=$(CURDIR)/$(WIN32TREE) >/dev/null
	@cmake --build $(WIN64TREE) -j $(JOBS)

# The ctest suite in the two 64-bit prefixes (their wineservers stopped on
# every way out), then Setup under WOW64 and the release zip installed into
# a fresh 64-bit prefix (build/wine64-setup).
check-win64: win64 win32 native dist
	@echo "== 64-bit Windows tests under Wine =="
	@mkdir -p $(WINE64_PREFIX) $(SERVER64_PREFIX)
	@export WINEARCH=win64 WINEDEBUG=-all LC_ALL=en_US.UTF-8; \
	  trap 'WINEPREFIX=$(WINE64_PREFIX) wineserver -k 2>/dev/null || true; \
	        WINEPREFIX=$(SERVER64_PREFIX) wineserver -k 2>/dev/null || true' EXIT; \
	  for prefix in $(WINE64_PREFIX) $(SERVER64_PREFIX); do \
	    export WINEPREFIX=$$prefix; wineserver -p 2>/dev/null || true; wine cmd /c exit 0 >/dev/null 2>&1; \
	  done; \
	  ctest --test-dir $(WIN64TREE) --output-on-failure -j $(JOBS)
	@echo "== Setup and the release on 64-bit Windows under Wine and Xvfb =="
	@WIN64_TREE=$(WIN64TREE) DIST_DIR=$(DIST) \
	  xvfb-run -a -s '-screen 0 1024x768x24' tests/win32/setup/run_setup_tests.sh $(WIN32TREE)

# The release: build/dist/Zarnocrypt-<version>/ and its zip, with stripped
# copies of the 32-bit and 64-bit binaries (scripts/make-dist).
# The version is the product's major.minor (the project's VERSION).
DIST := build/dist

dist: win32 win64
	@scripts/make-dist $(WIN32TREE) $(WIN64TREE) $(DIST)

# The Debian package of the CLI from the native tree (scripts/make-deb):
# build/dist/zarnocrypt_<version>_<arch>.deb.
deb: native
	@scripts/make-deb $(NATIVE) $(DIST)

check-deb: deb
	@echo "== the Debian package, unpacked into a scratch root =="
	@tests/deb_test.sh $(DIST)/zarnocrypt_*.deb

check: check-native check-deb check-asan check-valgrind check-win32 check-setup check-win64

# libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer; N seconds per target.
FUZZ         := build/fuzz
FUZZ_SECONDS ?= 60

fuzz:
	@scripts/install-deps fuzz
	@CC=clang CXX=clang++ $(CMAKE) -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZARNOCRYPT_SANITIZE=ON -DZARNOCRYPT_FUZZ=ON -DZARNOCRYPT_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@scripts/run-fuzz $(FUZZ) $(FUZZ_SECONDS)

demo: native win32-dll
	@scripts/demo

# Benchmarks (never part of make check): the native table and ratios, the
# CLI against cat (scripts/bench-cli), then the COM figures of the 32-bit DLL
# under Wine (scripts/bench-com).
bench: native win32
	@cmake --build $(NATIVE) --target zarnocrypt-bench
	@$(NATIVE)/zarnocrypt-bench --ratios
	@scripts/bench-cli $(NATIVE)/zarnocrypt
	@cmake --build $(WIN32TREE) --target zarnocrypt-com-bench
	@scripts/bench-com

clean:
	rm -rf build
