# Halvane: `make run` starts the station on the demo project, `make test` runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
TEST_DIR := build/test
RUN_DIR := build/release
DEMO_ROOT := build/demo

.PHONY: all deps build test run bench format clean

all: build

deps:
	@scripts/install-deps.sh

$(RUN_DIR)/build.ninja:
	cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(RUN_DIR)/build.ninja
	cmake --build $(RUN_DIR) -j $(JOBS)

$(TEST_DIR)/build.ninja:
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVANE_SANITIZE=ON -DHALVANE_BENCH=OFF

test: deps $(TEST_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The demo data root is copied once; later runs keep what the user changed in it.
$(DEMO_ROOT)/cfg/config.cfg:
	mkdir -p $(DEMO_ROOT)
	cp -a examples/demo/. $(DEMO_ROOT)/

run: build $(DEMO_ROOT)/cfg/config.cfg
	@scripts/run-demo.sh $(RUN_DIR) $(DEMO_ROOT)

bench: build
	for b in $(RUN_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
