# Entry points of the README's quick start. Both install what they need.
BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_CLANG ?= build-clang
BUILD_PACKAGE ?= build-package
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

.PHONY: all deps build test test-sanitize test-clang format-check demo bench screenshots package check-package clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, with warnings as errors, plus the formatting check. The sweep of
# every sample word against the pass-through rule (about a minute of two cores)
# is left out of a plain ctest run and runs here once, on its own, in this
# optimised build only.
test: build format-check
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@ctest --test-dir $(BUILD) -C Exhaustive -L exhaustive --output-on-failure

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, with
# the GSL resampling backend as the default so that both backends run in CI.
test-sanitize: deps
	@cmake -S . -B $(BUILD_ASAN) $(CMAKE_FLAGS) -DTESSARA_SANITIZE=ON -DTESSARA_FFT=GSL \
		-DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD_ASAN) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

# The suite built by clang, warnings as errors: clang compiles another path of
# the sample codec (no AVX2 clones) and warns where GCC does not.
test-clang: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_CLANG) $(CMAKE_FLAGS) -DTESSARA_BUILD_GUI=OFF >/dev/null
	@cmake --build $(BUILD_CLANG) -j $(JOBS)
	@ctest --test-dir $(BUILD_CLANG) --output-on-failure -j $(JOBS)

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# Generates a small survey, processes it and shows what was written.
demo: build
	@scripts/demo $(BUILD)

# Renders the windows on a generated survey into docs/screenshots (offscreen).
screenshots: build
	@cmake --build $(BUILD) --target screenshots >/dev/null

# The Debian package, tessara_<version>_amd64.deb in $(BUILD_PACKAGE): a
# build of its own, without tests, that installs only what it needs.
package:
	@scripts/build-package $(BUILD_PACKAGE)

# Builds the package as `make package` does and checks it as an installer
# would (as root: it installs and removes the package).
check-package:
	@scripts/install-deps --check-package
	@scripts/check-package

bench: deps
	@cmake -S . -B build-bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release \
		-DTESSARA_BUILD_BENCHMARKS=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_CLANG) $(BUILD_PACKAGE) build-bench demo
