# Quendrix Ombrelo: set-up, build, run and test on Debian.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

.PHONY: all setup configure build run test clean

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

# Builds everything and runs every test headless, in a virtual display.
test: build
	bash tools/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -j2 --timeout 900

clean:
	rm -rf $(BUILD)
