# The two set-up commands: `make run` and `make test`; `make sanitize` runs
# every test again under the sanitizers; `make package` builds the Debian
# package, build/tovrik_<version>_amd64.deb.
JOBS ?= $(shell nproc)

# GCC 12's ThreadSanitizer stops with "unexpected memory mapping" on kernels
# that randomise mmap addresses over more bits than it expects. Its programs
# (also those the build runs to list the GoogleTest cases) run without address
# randomisation, where the machine lets us turn it off.
NO_ASLR := $(shell setarch "$$(uname -m)" -R true 2>/dev/null && echo setarch "$$(uname -m)" -R)

.PHONY: run test build package deps clean sanitize

run: build
	scripts/run.sh

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset default

package: build
	cmake --build --preset default --target package

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

sanitize: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan
	cmake --preset tsan
	$(NO_ASLR) cmake --build --preset tsan -j $(JOBS)
	$(NO_ASLR) ctest --preset tsan

deps:
	scripts/install-deps.sh

clean:
	rm -rf build build-asan build-tsan
