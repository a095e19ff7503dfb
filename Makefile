# Quendrix Ombrelo: set-up, build, run and test on Debian.
BUILD ?= build
DIST_BUILD ?= build-release
CMAKE_FLAGS ?= -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

.PHONY: all setup configure build run test dist clean

all: build

setup:
	bash tools/setup.sh

configure: setup
	@if [ ! -f $(BUILD)/build.ninja ]; then cmake -S . -B $(BUILD) $(CMAKE_FLAGS); fi

build: configure
	cmake --build $(BUILD)

# Starts the program under Wine on the current display (a virtual one when
# there is none: see the README for how to look at it).
run: build
	bash tools/run-app.sh $(BUILD)

# Builds everything and runs every test headless, in a virtual display. The
# tests run one at a time: windows of test programs running side by side in
# one Wine prefix would take the focus and the foreground from each other.
test: build
	bash tools/with-display.sh ctest --test-dir $(BUILD) --output-on-failure --timeout 900

# A release build of the program in its own folder (no debug information),
# then dist/QuendrixOmbrelo-1.0.zip and dist/QuendrixOmbrelo-1.0-setup.exe.
dist: setup
	@if [ ! -f $(DIST_BUILD)/build.ninja ]; then cmake -S . -B $(DIST_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release; fi
	cmake --build $(DIST_BUILD) --target QuendrixOmbrelo
	bash tools/package.sh $(DIST_BUILD)/QuendrixOmbrelo.exe dist
	@ls -l dist

clean:
	rm -rf $(BUILD) $(DIST_BUILD) dist
