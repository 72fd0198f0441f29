# The two set-up commands: `make run` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: run test build deps clean

run: build
	scripts/run.sh

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset default

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

deps:
	scripts/install-deps.sh

clean:
	rm -rf build build-tsan
