# The commands a user runs: make demo, make test (each installs what is missing first).
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)

.PHONY: all build demo test test-fast sanitize bench fuzz deps clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	@scripts/demo

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test-fast: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) demo
