# A thin front over the CMake presets: no CMake knowledge needed.
#   make        build into build/ (executables in build/bin/)
#   make check  the quick loop: build into build/ and run its own tests, without
#               Wine, the browser, desktops, Valgrind, the soak, the package or
#               the sanitizer build (a few minutes at most on two cores)
#   make test   build everything and run every test (also under the sanitizers,
#               Valgrind and, for the Windows executable, under Wine), then tidy
#   make thread  build the show and its test with ThreadSanitizer into build-thread/
#   make tidy   clang-tidy over the project's own sources (unchanged ones that
#               passed before are skipped)
#   make run    build and play the show
#   make bench  run the benchmarks
#   make fuzz   run each fuzz target for FUZZ_SECONDS (default 60), one after
#               the other; FUZZ_TARGET=module, loader, xm, s3m or it runs only that one
#   make windows  cross-build build-windows/bin/gridshow.exe
#   make web    build the browser site into build-web/ (index.html, .js, .wasm)
#   make serve  build it and serve it at http://127.0.0.1:8000/
#   make install  install gridshow and modrender (PREFIX, default /usr/local)
#   make package  the Debian package, in build/packages/
#   make dist     the release archives, in dist/

FUZZ_SECONDS ?= 60
FUZZ_TARGET ?= all

PREFIX ?= /usr/local

.PHONY: all build check test tidy run bench fuzz windows web serve sanitize thread install package dist clean

all: build

build:
	@cmake/install-deps.sh build
	@cmake --preset default >/dev/null
	@cmake --build --preset default

windows:
	@cmake/install-deps.sh windows
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

web:
	@cmake/install-deps.sh web
	@cmake --preset web >/dev/null
	@cmake --build --preset web

serve: web
	@echo "Serving build-web/ at http://127.0.0.1:8000/ (Ctrl+C stops)"
	@python3 -m http.server 8000 --bind 127.0.0.1 --directory build-web

install: build
	@cmake --install build --prefix $(PREFIX) --strip

package: build
	@cmake/install-deps.sh package
	@cd build && SOURCE_DATE_EPOCH=$${SOURCE_DATE_EPOCH:-$$(git log -1 --format=%ct)} cpack

# Packages and archives carry the last commit's time, so that the same commit
# gives the same bytes.
dist:
	@cmake/install-deps.sh dist
	@$(MAKE) --no-print-directory windows
	@$(MAKE) --no-print-directory build
	@$(MAKE) --no-print-directory web
	@packaging/make-dist.sh dist

sanitize:
	@cmake/install-deps.sh test
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize

thread:
	@cmake/install-deps.sh thread
	@cmake --preset thread >/dev/null
	@cmake --build --preset thread

check: build
	@ctest --preset check -j2

test:
	@cmake/install-deps.sh test
	@$(MAKE) --no-print-directory windows
	@$(MAKE) --no-print-directory web
	@$(MAKE) --no-print-directory sanitize
	@ctest --preset sanitize -j2
	@$(MAKE) --no-print-directory thread
	@ctest --preset thread
	@$(MAKE) --no-print-directory build
	@ctest --preset default -j2
	@tools/run-tidy.py build

tidy:
	@cmake/install-deps.sh tidy
	@$(MAKE) --no-print-directory build
	@tools/run-tidy.py build

run: build
	@tools/run-show.sh

bench:
	@cmake/install-deps.sh bench
	@cmake --preset default >/dev/null
	@cmake --build --preset default
	@bench/run-benchmarks.sh

fuzz:
	@cmake/install-deps.sh fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@fuzz/run-fuzzer.sh $(FUZZ_SECONDS) $(FUZZ_TARGET)

clean:
	rm -rf build build-sanitize build-thread build-fuzz build-windows build-web build-web-cmake dist
