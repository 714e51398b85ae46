# Halvane: `make run` starts the station on the demo project, `make test` runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
TEST_DIR := build/test
TSAN_DIR := build/tsan
RUN_DIR := build/release
DEMO_ROOT := build/demo

.PHONY: all deps build test tsan run bench format clean

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
	$(MAKE) --no-print-directory tsan

# The tests that run workers, peers, the web server, the alarm model and journal and
# concurrent readers, under ThreadSanitizer.
$(TSAN_DIR)/build.ninja:
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVANE_TSAN=ON -DHALVANE_BENCH=OFF

tsan: deps $(TSAN_DIR)/build.ninja
	cmake --build $(TSAN_DIR) -j $(JOBS) --target comm_peer_tests config_tests web_tests web_peer_tests notify_tests mqtt_tests mqtt_broker_tests alarms_tests alarms_peer_tests tags_tests halvane-sim
	cd $(TSAN_DIR) && ctest --output-on-failure -R '^(comm_peer_tests|config_tests|web_tests|web_peer_tests|notify_tests|mqtt_tests|mqtt_broker_tests|alarms_tests|alarms_peer_tests|tags_tests)$$'

# The demo data root is copied once; later runs keep what the user changed in it.
$(DEMO_ROOT)/cfg/config.cfg:
	mkdir -p $(DEMO_ROOT)
	cp -a examples/demo/. $(DEMO_ROOT)/

run: deps $(RUN_DIR)/build.ninja $(DEMO_ROOT)/cfg/config.cfg
	cmake --build $(RUN_DIR) -j $(JOBS) --target halvane halvane-sim
	@scripts/run-demo.sh $(RUN_DIR) $(DEMO_ROOT)

bench: build
	for b in $(RUN_DIR)/bench/bench_*; do echo "== $$b"; $$b; done
	@echo "== web server beside nginx (wrk)"
	scripts/bench-web.sh $(RUN_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
