# Quendrix Ombrelo: set-up, build, run and test on Debian.
# build: the 32-bit program as it ships. build-x64: the same sources for
# 64-bit Windows, which is what runs and is tested on a machine that runs no
# 32-bit code (tools/build-arch.sh tells which build runs here).
BUILD ?= build
BUILD_X64 ?= build-x64
DIST_X64 ?= build-release-x64
DIST_X86 ?= build-release-x86
CMAKE_FLAGS ?= -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
CMAKE_FLAGS_X64 ?= -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

.PHONY: all setup configure build build-x64 run test dist clean

all: build

setup:
	bash tools/setup.sh

configure: setup
	@if [ ! -f $(BUILD)/build.ninja ]; then cmake -S . -B $(BUILD) $(CMAKE_FLAGS); fi

build: configure
	cmake --build $(BUILD)

build-x64: setup
	@if [ ! -f $(BUILD_X64)/build.ninja ]; then cmake -S . -B $(BUILD_X64) $(CMAKE_FLAGS_X64); fi
	cmake --build $(BUILD_X64)

# The folder of the build that runs on this machine; BUILD_RUN_BUILD builds it,
# in a recipe line of its own, so that a failed build stops make.
RUN_BUILD = $$(if [ "$$(bash tools/build-arch.sh)" = i686 ]; then echo $(BUILD); else echo $(BUILD_X64); fi)
BUILD_RUN_BUILD = if [ "$$(bash tools/build-arch.sh)" != i686 ]; then $(MAKE) -s build-x64; fi

# Starts the program under Wine on the current display (a virtual one when
# there is none: see the README for how to look at it).
run: build
	@$(BUILD_RUN_BUILD)
	bash tools/run-app.sh "$(RUN_BUILD)"

# Builds everything, makes the release files (the release test installs and
# runs what users download) and runs every test headless, in a virtual
# display. The tests run one at a time: windows of test programs running
# side by side in one Wine prefix would take the focus and the foreground
# from each other.
test: build dist
	@$(BUILD_RUN_BUILD)
	bash tools/with-display.sh ctest --test-dir "$(RUN_BUILD)" --output-on-failure --timeout 900 --no-tests=error

# Release builds of both programs (no debug information, stripped), each with
# its converter inside, and from them the five release files in dist/: the
# 64-bit setup and zip (the main download), the 32-bit ones, and the
# converters' source.
dist: setup
	@if [ ! -f $(DIST_X64)/build.ninja ]; then cmake -S . -B $(DIST_X64) $(CMAKE_FLAGS_X64) -DCMAKE_BUILD_TYPE=Release; fi
	@if [ ! -f $(DIST_X86)/build.ninja ]; then cmake -S . -B $(DIST_X86) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release; fi
	cmake --build $(DIST_X64) --target QuendrixOmbrelo
	cmake --build $(DIST_X86) --target QuendrixOmbrelo
	bash tools/package.sh dist $(DIST_X64)/QuendrixOmbrelo.exe $(DIST_X86)/QuendrixOmbrelo.exe
	@ls -l dist

clean:
	rm -rf $(BUILD) $(BUILD_X64) $(DIST_X64) $(DIST_X86) build-release dist
