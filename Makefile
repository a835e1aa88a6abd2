# The two everyday commands: `make run` and `make test`.
BUILD          ?= build
BUILD_SANITIZE ?= build-sanitize
JOBS           ?= $(shell nproc)

.PHONY: all deps configure build run test test-sanitize bench clean

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/data && ../velodrix

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(BUILD_SANITIZE)/build.ninja: | deps
	cmake -S . -B $(BUILD_SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELODRIX_SANITIZE=ON

test-sanitize: deps $(BUILD_SANITIZE)/build.ninja
	cmake --build $(BUILD_SANITIZE) -j $(JOBS)
	cd $(BUILD_SANITIZE) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) $(BUILD_SANITIZE)
