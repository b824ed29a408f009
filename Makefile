# The commands a user runs: make demo, make test (each installs what is missing first).
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)

.PHONY: all build demo test unit-test sanitize-test bench accuracy fuzz deps clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	@scripts/demo

# Every test, then the same suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: unit-test sanitize-test

unit-test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Every sanitizer report ends its process with an abort, also in a kalvex run
# inside a test, which then fails on the exit status. Address and leak reports
# also go to files of their own, and any such file fails the target, whatever
# the test made of the abort.
SANITIZER_REPORTS = $(abspath $(SANITIZE_DIR))/sanitizer-reports
sanitize-test: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVEX_SANITIZE=ON -DKALVEX_BENCHMARKS=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@rm -rf $(SANITIZER_REPORTS) && mkdir -p $(SANITIZER_REPORTS)
	@cd $(SANITIZE_DIR) && status=0; \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:log_path=$(SANITIZER_REPORTS)/asan \
	LSAN_OPTIONS=suppressions=$(abspath tests/sanitizer/lsan.supp):print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1 \
		ctest --output-on-failure -j $(JOBS) || status=$$?; \
	if [ -n "$$(ls -A $(SANITIZER_REPORTS))" ]; then \
		cat $(SANITIZER_REPORTS)/*; echo "Sanitizer reports in $(SANITIZER_REPORTS)"; exit 1; \
	fi; \
	exit $$status

bench: build
	@scripts/bench

# The plain and the robust alignment against the known misplacement of a
# family of generated scenes, and on the real Mars grid when it is beside the project.
accuracy: build
	@scripts/accuracy

fuzz: deps
	@FUZZ_DIR=$(FUZZ_DIR) FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) demo
