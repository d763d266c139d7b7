# Entry points for newcomers and CI: `make demo` and `make check`.
# Both install what is missing first (scripts/install-deps).

JOBS    := $(shell nproc 2>/dev/null || echo 2)
NATIVE  := build/native
ASAN    := build/asan
CMAKE   := cmake -G Ninja -Wno-dev

.PHONY: all deps native asan check check-native check-asan demo clean

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

check-asan: asan
	@echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
	@ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

check: check-native check-asan

demo: native
	@scripts/demo

clean:
	rm -rf build
