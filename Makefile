# Everything a fresh Debian 12 machine needs, then the build and the tests.
# `make run` starts the program; `make test` runs every test headless.

PRESET   ?= default
FUZZ_SECONDS ?= 30
BUILD    := build
PACKAGES := cmake ninja-build g++ make pkg-config \
            qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev \
            fonts-noto-cjk xvfb xauth trayer xdotool x11-utils socat procps
# Only the benchmarks (the start-up watcher and the programs compared with)
# and the fuzzers need these; `make test` does not install them.
BENCH_PACKAGES := libx11-dev libxdamage-dev cutecom gtkterm dbus-daemon
FUZZ_PACKAGES  := clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps bench-deps fuzz-deps build test run bench fuzz clean

all: build

# $(call install-missing,PACKAGE...): apt-get installs those not installed yet.
define install-missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

bench-deps: deps
	$(call install-missing,$(BENCH_PACKAGES))

fuzz-deps: deps
	$(call install-missing,$(FUZZ_PACKAGES))

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
bench: bench-deps build
	bench/run.sh $(BUILD)

# Every fuzz target for FUZZ_SECONDS each, built with clang and the sanitizers.
fuzz: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	bench/fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-*
