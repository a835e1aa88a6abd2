# The two everyday commands: `make run` and `make test`.
BUILD          ?= build
BUILD_SANITIZE ?= build-sanitize
BUILD_TSAN     ?= build-tsan
JOBS           ?= $(shell nproc)

.PHONY: all deps configure build run test test-sanitize test-tsan bench soak clean

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

# The threaded suites under ThreadSanitizer: decode thread and codec registry, the song scan and the
# save writer, the sound layer's stream thread, log writer, worker pool and tasks, file completions
# and locks, and the render worker's hand-off on the null renderer (tests on the real GL device would report Mesa's own
# threads), and the leaderboard client's worker and the HTTP exchange it breaks off.
TSAN_TARGETS ?= test_platform test_core test_audio test_render test_library test_online
TSAN_SUITES  ?= ^((OwnerBlocks|OverlappedRead|AlertableWait|CriticalSection|SoundMixer|SoundOutput|CritSectionPool|FileLayer|LogManager|TaskLayer|WorkerPool|Packages|CodecRegistry|DecodeJob|SamplePull|CodecStreamPlayer|SoundEngine|SongBeats|SongClock|SongScan|UserSave|UserSaveWriteFailure|Online|HttpClient)[.]|RenderDevice[.]StoppingTheWaitingWorker|DrawListHandOff[.]Stress|Batcher[.]Concurrent)

$(BUILD_TSAN)/build.ninja: | deps
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELODRIX_TSAN=ON

test-tsan: deps $(BUILD_TSAN)/build.ninja
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(BUILD_TSAN) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		ctest --output-on-failure -j $(JOBS) -R '$(TSAN_SUITES)'

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done
	@bash scripts/beatclock-check $(BUILD)/bench 20 all

# The memory-safety soak: the sanitizer build played unattended by the random input tester for
# SOAK_MINUTES, its memory printed every minute; any sanitizer report fails it.
SOAK_MINUTES ?= 10
soak: deps $(BUILD_SANITIZE)/build.ninja
	cmake --build $(BUILD_SANITIZE) -j $(JOBS) --target velodrix_soak
	$(BUILD_SANITIZE)/bench/velodrix-soak --minutes $(SOAK_MINUTES)

clean:
	rm -rf $(BUILD) $(BUILD_SANITIZE) $(BUILD_TSAN)
