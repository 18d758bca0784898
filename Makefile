# The two everyday commands: `make run` starts the program, `make test` runs the tests.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: deps build run test bench package fuzz clean

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-program $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@bench/run-benchmarks $(BUILD)

package: build
	@cd $(BUILD) && cpack

fuzz: build
	@scripts/fuzz $(FUZZ_SECONDS) $(BUILD)

clean:
	@rm -rf $(BUILD)
