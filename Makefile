# Everything a fresh Debian 12 machine needs, then the build and the tests.
# `make run` starts the program; `make test` runs every test headless.

PRESET   ?= default
FUZZ_SECONDS ?= 30
BUILD    := build
PACKAGES := cmake ninja-build g++ make pkg-config \
            qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev \
            fonts-noto-cjk xvfb xauth trayer xdotool x11-utils socat procps \
            libx11-dev libxdamage-dev clang libclang-rt-14-dev cutecom gtkterm

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test run bench fuzz clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

# The panel in a demo folder of its own, on a simulated bus with one
# controller; see the README for running it with a real adapter.
run: build
	tools/run-demo.sh $(BUILD)

# One table of figures; see bench/README.md.
bench: build
	bench/run.sh $(BUILD)

# Every fuzz target for FUZZ_SECONDS each, built with clang and the sanitizers.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	bench/fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-*
