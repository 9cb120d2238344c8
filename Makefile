# The two everyday commands. `make test` sets up what is missing, checks the
# formatting, builds and runs the whole suite with warnings as errors, then
# does the same again under AddressSanitizer and UndefinedBehaviorSanitizer
# in a build folder of its own, and prints how long it all took.
JOBS ?= $(shell nproc)
# Tests labelled x11 (a viewer's GLX context) run under a virtual X server;
# everything else, cameras included, runs without one (EGL).
XVFB ?= xvfb-run -a -s "-screen 0 1280x1024x24"
BUILD ?= build
# The compiler cache keys on paths relative to the checkout, so a fresh clone
# anywhere on the machine reuses what another checkout compiled.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= true
ASAN_BUILD ?= build-asan

.PHONY: test test-plain test-asan deps format format-check mutate

deps:
	tools/setup-deps.sh

test:
	@start=$$(date +%s); \
	$(MAKE) --no-print-directory deps && \
	$(MAKE) --no-print-directory format-check && \
	$(MAKE) --no-print-directory test-plain && \
	$(MAKE) --no-print-directory test-asan; \
	rc=$$?; t=$$(( $$(date +%s) - start )); \
	if [ $$rc -eq 0 ]; then verdict="passed in"; else verdict="FAILED after"; fi; \
	echo "make test: $$verdict $$((t / 60)) min $$((t % 60)) s"; \
	exit $$rc

test-plain:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELMAR_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE x11
	$(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L x11

test-asan:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" "-DCMAKE_C_FLAGS_DEBUG=-g -O1" -DKELMAR_SANITIZE=ON -DKELMAR_BENCH=OFF -DKELMAR_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan-mesa.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE x11
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan-mesa.supp \
	  $(XVFB) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L x11

# `make run` is the grasp demo: the arm of examples/grasp_ball.px lowers the
# open hand over the ball, the ball-wrap controller closes it and the arm
# lifts, in the phases of examples/grasp_ball.phases. With a display it
# opens kelmar-view on it; without one (or when the viewer cannot be built
# or finds no display) it runs headless through kelmar-run (Release, in build-run/) and writes the
# demo camera's frames, a contact sheet, the joint positions as CSV and SVG
# and the final status into build-run/demo/, ending with a verdict line.
# `make showcase` runs the toolkit's own showcase scene through kelmar-sim.
# `make bench` runs the four benchmark scenes through the toolkit and the
# hand scene S5 through the robot layer (median of BENCH_REPS runs,
# BENCH_TIMEOUT seconds of wall clock per run at most), then times the scene
# reader on the grasp scene (load and reload, each < 50 ms), times one
# ball-wrap call (< 5 us) and a 10-contact grasp map with its null space
# (< 20 us) on hand_ball.px, and measures the
# camera pictures per second (when the graphics library is built) and the
# viewer's frames per second under Xvfb (when the viewer is built);
# `make bench-peers` also installs and runs the peer engines' suite from
# PEERS and prints both side by side, then BENCH_H2H rounds of kelmar and
# each scene's fastest peers run alternately (a head-to-head).
RUN_BUILD ?= build-run
BENCH_BUILD ?= build-bench
BENCH_REPS ?= 3
BENCH_TIMEOUT ?= 120
BENCH_H2H ?= 3
PEERS ?= ../shared/peers
PEERS_BUILD ?= build-peers

DEMO ?= $(RUN_BUILD)/demo
DEMO_ARGS = examples/grasp_ball.px --phases examples/grasp_ball.phases --grasp ballwrap

.PHONY: run showcase bench bench-peers

run: deps
	cmake -S . -B $(RUN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELMAR_TESTS=OFF -DKELMAR_BENCH=OFF
	cmake --build $(RUN_BUILD) --target kelmar-run -j $(JOBS)
	@if [ -n "$$DISPLAY" ] && cmake --build $(RUN_BUILD) --target kelmar-view -j $(JOBS) && \
	  $(RUN_BUILD)/tools/kelmar-view $(DEMO_ARGS); then exit 0; fi; \
	rm -rf $(DEMO) && mkdir -p $(DEMO) && \
	$(RUN_BUILD)/tools/kelmar-run $(DEMO_ARGS) --camera demo --images $(DEMO) --every 50 \
	  --csv $(DEMO)/joints.csv --plot $(DEMO)/joints.svg --status $(DEMO)/status.xml --quiet && \
	echo "Frames and contact sheet: $(CURDIR)/$(DEMO)/ (open joints.svg in a web browser)"

showcase: deps
	cmake -S . -B $(RUN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELMAR_TESTS=OFF -DKELMAR_BENCH=OFF
	cmake --build $(RUN_BUILD) --target kelmar-sim -j $(JOBS)
	$(RUN_BUILD)/tools/kelmar-sim showcase --svg $(RUN_BUILD)/showcase.svg --csv $(RUN_BUILD)/showcase.csv
	@echo "Open the picture in a web browser: $(CURDIR)/$(RUN_BUILD)/showcase.svg"

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELMAR_TESTS=OFF -DKELMAR_BENCH=ON
	cmake --build $(BENCH_BUILD) --target bench_scenes bench_hand bench_loader bench_grasp -j $(JOBS)
	$(BENCH_BUILD)/bench/bench_scenes --reps $(BENCH_REPS) --timeout $(BENCH_TIMEOUT)
	$(BENCH_BUILD)/bench/bench_hand --reps $(BENCH_REPS) --timeout $(BENCH_TIMEOUT)
	$(BENCH_BUILD)/bench/bench_loader
	$(BENCH_BUILD)/bench/bench_grasp
	@if cmake --build $(BENCH_BUILD) --target help | grep -q bench_cameras; then \
	  cmake --build $(BENCH_BUILD) --target bench_cameras -j $(JOBS) && \
	  $(BENCH_BUILD)/bench/bench_cameras; \
	fi
	@if cmake --build $(BENCH_BUILD) --target help | grep -q bench_viewer; then \
	  cmake --build $(BENCH_BUILD) --target bench_viewer -j $(JOBS) && \
	  $(XVFB) $(BENCH_BUILD)/bench/bench_viewer; \
	fi

bench-peers: deps
	tools/setup-deps.sh libode-dev libbullet-dev libmujoco-dev libqhull-dev pkg-config
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELMAR_TESTS=OFF -DKELMAR_BENCH=ON
	cmake --build $(BENCH_BUILD) --target bench_scenes bench_hand -j $(JOBS)
	REPS=$(BENCH_REPS) TIMEOUT=$(BENCH_TIMEOUT) H2H=$(BENCH_H2H) JOBS=$(JOBS) \
	  bench/bench-peers.sh $(BENCH_BUILD)/bench/bench_scenes $(PEERS) $(PEERS_BUILD)

# `make format` formats every C and C++ source of the project in place with
# the root .clang-format; `make format-check` lists the files that are not
# formatted and fails if there is any (`make test` runs it first).
CLANG_FORMAT ?= clang-format
FORMAT_DIRS := foundation dynamics collision bridge fileformat kelmar grasp graphics viewer host python \
               tools bench tests include examples
FORMAT_FILES = $(shell find $(wildcard $(FORMAT_DIRS)) -type f \( -name '*.c' -o -name '*.cc' \
                 -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) | LC_ALL=C sort)

format:
	@$(CLANG_FORMAT) -i $(FORMAT_FILES)
	@echo "format: $(words $(FORMAT_FILES)) files formatted"

format-check:
	@bad=$$(for f in $(FORMAT_FILES); do \
	  $(CLANG_FORMAT) --dry-run --Werror "$$f" >/dev/null 2>&1 || echo "$$f"; \
	done); \
	if [ -n "$$bad" ]; then \
	  echo "format-check: these files are not formatted (run make format):"; \
	  echo "$$bad" | sed 's/^/  /'; \
	  exit 1; \
	fi; \
	echo "format-check: $(words $(FORMAT_FILES)) files formatted"

# `make mutate` measures how strong the toolkit's tests are: it applies each
# small fault listed in tools/mutate/mutations.txt to a scratch copy of the
# sources (build-mutate/src, never the working tree), rebuilds the named test
# executable in build-mutate/build, runs it, and prints which faults the
# tests catch ("caught N of M"). Not part of `make test`. MUTATE_ARGS passes
# options on, e.g. MUTATE_ARGS="--only hinge-angle-sign". The viewer's and
# cameras' tests need a display: without one they skip, and their faults
# would count as survivors, so the run gets a virtual one.
MUTATE_ARGS ?=
MUTATE_DISPLAY := $(if $(DISPLAY),,$(if $(shell command -v xvfb-run),xvfb-run -a,))
mutate:
	$(MUTATE_DISPLAY) nice python3 tools/mutate/mutate.py --jobs $(JOBS) $(MUTATE_ARGS)
