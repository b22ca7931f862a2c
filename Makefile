# Two commands for a newcomer: `make run` and `make test`. Both install what
# the machine lacks first (tools/bootstrap.sh is quick when nothing is missing).

BUILD      ?= build
PAYLOAD_DIR ?=
PAYLOAD_ZIP ?=
# The payload's compressor: zstd (fastest install) or lzma (smallest download).
COMPRESSION ?= zstd
CERT       ?=
KEY        ?=
JOBS       ?= $(shell nproc)
CMAKE_OPTS  = -G Ninja -DQM_PAYLOAD_DIR="$(PAYLOAD_DIR)" -DQM_PAYLOAD_ZIP="$(PAYLOAD_ZIP)" \
              -DQM_COMPRESSION="$(COMPRESSION)" \
              -DQM_SIGN_CERT="$(CERT)" -DQM_SIGN_KEY="$(KEY)"
CMAKE_ARGS  = -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake $(CMAKE_OPTS)
# The shipped programs are 32-bit. Where the kernel runs no 32-bit programs
# (tools/host-arch.sh), everything that runs under Wine comes from BUILD64, a
# 64-bit build of the same sources.
BUILD64    ?= $(BUILD)-x64
CMAKE_ARGS64 = -S . -B $(BUILD64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64-posix.cmake $(CMAKE_OPTS)
WINE_BUILD = $$(if [ "$$(tools/host-arch.sh)" = x86_64 ]; then echo "$(abspath $(BUILD64))"; else echo "$(abspath $(BUILD))"; fi)

.PHONY: all bootstrap configure installer run test bench tools sign clean

all: installer

bootstrap:
	@tools/bootstrap.sh

configure: bootstrap
	@cmake $(CMAKE_ARGS) >/dev/null
	@if [ "$$(tools/host-arch.sh)" = x86_64 ]; then cmake $(CMAKE_ARGS64) >/dev/null; fi

installer: configure
	@cmake --build $(BUILD) --target QuillmossdexSetup -j $(JOBS)
	@echo "built $(BUILD)/QuillmossdexSetup.exe"

run: installer
	@wb="$(WINE_BUILD)"; cmake --build "$$wb" --target QuillmossdexSetup -j $(JOBS) >/dev/null && \
		BUILD_DIR="$$wb" tools/run-installer.sh

test: configure
	@tools/run-tests.sh "$(abspath $(BUILD))" "$(abspath $(BUILD64))" $(JOBS) $(CTEST_ARGS)

bench: configure
	@cmake --build $(BUILD) --target QuillmossdexSetup qm_setup_zstd qm_setup_lzma -j $(JOBS)
	@wb="$(WINE_BUILD)"; cmake --build "$$wb" --target qm_bench QuillmossdexSetup qm_setup_zstd qm_setup_lzma -j $(JOBS) && \
		BUILD_DIR="$$wb" tools/wine-session.sh tools/run-bench.sh "$$wb" "$(abspath $(BUILD))"

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
	@if [ -d $(BUILD64) ]; then BUILD_DIR="$(abspath $(BUILD64))" tools/wine-kill.sh; fi
	rm -rf $(BUILD) $(BUILD64)
