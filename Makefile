# Thin wrapper around CMake. Everything builds into build/.
BUILD_DIR ?= build
SAN_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BENCH_FLAGS ?= --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

.PHONY: all deps configure demo test test-fast docs sanitize fuzz bench clean python-path deb wheel

# PYTHON_PATH=yes also points the user's Python at this build (see
# python-path), a developer's convenience; by default the user's Python is
# left alone: the package is used from the wheel or the Debian package
# (make wheel, make deb), or with PYTHONPATH=build/python.
PYTHON_PATH ?= no

all: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)
	@if [ "$(PYTHON_PATH)" = yes ]; then bash scripts/python-path.sh $(BUILD_DIR); fi

# Points `import orvane` at this build's package (a .pth file in the user
# site folder of the interpreter it was built for).
python-path:
	@bash scripts/python-path.sh $(BUILD_DIR)

deps:
	@bash scripts/install-deps.sh

configure: deps
	@test -f $(BUILD_DIR)/CMakeCache.txt || cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

demo: all
	@bash scripts/demo.sh $(BUILD_DIR)

test: all
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Debian packages build/orvane_VERSION_ARCH.deb (tool, deliverables,
# Python package, man pages, completion) and orvane-octave_*.deb (the
# Octave builds); Depends computed by dpkg-shlibdeps (dpkg-dev).
deb: all
	cd $(BUILD_DIR) && cpack -G DEB
	@ls -l $(BUILD_DIR)/*.deb

# The wheel of the Python package, build/orvane-VERSION-*.whl (compiled
# module, host and deliverables inside), built offline with Debian's
# setuptools: pip install --no-index it into a virtual environment.
wheel: all
	bash packaging/build-wheel.sh $(BUILD_DIR)

# The unit label only: in-process code and the deliverables, no tool, no
# socket, no browser (tests/CMakeLists.txt says how a file is labelled).
test-fast: all
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -L '^unit$$'

# The documentation site into $(BUILD_DIR)/site: the tool (for the options
# reference it prints), then scripts/build-docs.py (copy of docs/, reference
# pages from each command's --help, link check, mkdocs build --strict).
DOCS_PYTHON ?= $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)
docs: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target orvane
	$(DOCS_PYTHON) scripts/build-docs.py $(BUILD_DIR)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@test -f $(SAN_DIR)/CMakeCache.txt || cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON -DORVANE_BUILD_BENCH=OFF
	cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && ctest --output-on-failure -j $(JOBS)

# Every libFuzzer target (clang++, sanitizers on) for FUZZ_SECONDS each.
fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Builds the benchmark (and the deliverables it loads) and runs it; the
# closing table gives every build's figures against its floor.
bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target orvane_bench
	$(BUILD_DIR)/orvane_bench $(BENCH_FLAGS)

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(FUZZ_DIR)
