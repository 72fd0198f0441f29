# The two set-up commands: `make run` and `make test`; `make package` builds
# the Debian package, build/tovrik_<version>_amd64.deb.
JOBS ?= $(shell nproc)

.PHONY: run test build package deps clean

run: build
	scripts/run.sh

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset default

package: build
	cmake --build --preset default --target package

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

deps:
	scripts/install-deps.sh

clean:
	rm -rf build build-tsan
