# pavex: the two commands a newcomer needs (as root on Debian 12):
#   make run    install what is needed, build, and open the bundled sample picture
#   make test   install what is needed, build, and run every test
# Also: make build, make install PREFIX=/usr/local, make bench, make fuzz, make clean.

BUILD     ?= build
PREFIX    ?= /usr/local
JOBS      ?= $(shell nproc)

.PHONY: all deps configure build run test install bench fuzz sanitize clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-sample.sh $(BUILD)

test: deps
	@bash scripts/run-tests.sh $(BUILD)

install: build
	@cmake --install $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

sanitize: deps
	@bash scripts/run-sanitize.sh $(BUILD)-sanitize

fuzz: deps
	@bash fuzz/run.sh long

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
