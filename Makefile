# Two commands for a newcomer: `make run` and `make test`. Both install what
# the machine lacks first (tools/bootstrap.sh is quick when nothing is missing).

BUILD      ?= build
PAYLOAD_DIR ?=
PAYLOAD_ZIP ?=
CERT       ?=
KEY        ?=
JOBS       ?= $(shell nproc)
CMAKE_ARGS  = -S . -B $(BUILD) -G Ninja \
              -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake \
              -DQM_PAYLOAD_DIR="$(PAYLOAD_DIR)" -DQM_PAYLOAD_ZIP="$(PAYLOAD_ZIP)" \
              -DQM_SIGN_CERT="$(CERT)" -DQM_SIGN_KEY="$(KEY)"

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
	@cmake --build $(BUILD) --target qm_bench QuillmossdexSetup -j $(JOBS)
	@BUILD_DIR="$(abspath $(BUILD))" tools/wine-session.sh tools/run-bench.sh "$(abspath $(BUILD))"

# Signs the payload's programs before they are packed, then the installer.
sign:
	@if [ -z "$(CERT)" ] || [ -z "$(KEY)" ]; then echo "usage: make sign CERT=cert.pem KEY=key.pem" >&2; exit 2; fi
	@$(MAKE) --no-print-directory installer CERT="$(abspath $(CERT))" KEY="$(abspath $(KEY))"
	@osslsigncode verify -CAfile "$(abspath $(CERT))" -in $(BUILD)/QuillmossdexSetup.exe >/dev/null 2>&1 \
		&& echo "signed $(BUILD)/QuillmossdexSetup.exe" \
		|| echo "signed $(BUILD)/QuillmossdexSetup.exe (verify it against your certificate chain)"

tools: configure
	@cmake --build $(BUILD) --target qm_tools -j $(JOBS)

clean:
	@if [ -d $(BUILD) ]; then BUILD_DIR="$(abspath $(BUILD))" tools/wine-kill.sh; fi
	rm -rf $(BUILD)
