# Two commands for a newcomer: `make run` and `make test`. Both install what
# the machine lacks first (tools/bootstrap.sh is quick when nothing is missing).

BUILD      ?= build
PAYLOAD_DIR ?=
PAYLOAD_ZIP ?=
JOBS       ?= $(shell nproc)
CMAKE_ARGS  = -S . -B $(BUILD) -G Ninja \
              -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake \
              -DQM_PAYLOAD_DIR="$(PAYLOAD_DIR)" -DQM_PAYLOAD_ZIP="$(PAYLOAD_ZIP)"

.PHONY: all bootstrap configure installer run test bench tools sign clean

all: installer

bootstrap:
	@tools/bootstrap.sh

configure: bootstrap
	@cmake $(CMAKE_ARGS) >/dev/null

installer: configure
	@cmake --build $(BUILD) --target QuillmossdexSetup -j $(JOBS)
	@echo "built $(BUILD)/QuillmossdexSetup.exe"

run: installer
	@BUILD_DIR="$(abspath $(BUILD))" tools/run-installer.sh

test: configure
	@cmake --build $(BUILD) -j $(JOBS)
	@cmake --build $(BUILD) --target qm_tests -j $(JOBS)
	@BUILD_DIR="$(abspath $(BUILD))" tools/wine-session.sh \
		ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) $(CTEST_ARGS)

bench: configure
	@cmake --build $(BUILD) --target qm_bench -j $(JOBS)
	@BUILD_DIR="$(abspath $(BUILD))" tools/wine-session.sh tools/run-bench.sh "$(abspath $(BUILD))"

tools: configure
	@cmake --build $(BUILD) --target qm_tools -j $(JOBS)

clean:
	@if [ -d $(BUILD) ]; then BUILD_DIR="$(abspath $(BUILD))" tools/wine-kill.sh; fi
	rm -rf $(BUILD)
