# The two commands of the README. Each installs what is missing first (scripts/bootstrap).
SHELL := /bin/bash
.DEFAULT_GOAL := test
JOBS ?= 2

.PHONY: run stop test bootstrap native win64 win32 test-native test-win64 check-includes fuzz-smoke fuzz-test bench bench-win clean dist

bootstrap:
	@scripts/bootstrap

native: bootstrap
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

win64: bootstrap
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

win32: bootstrap
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

test-native: native
	ctest --preset native -j $(JOBS)

test-win64: win64
	scripts/wine-session ctest --preset win64 -j $(JOBS)

# Release zips (x64, x86) and the installer into build/dist/, from the two Windows builds.
dist: win64 win32
	scripts/make-dist

test: check-includes test-native dist test-win64 fuzz-test

# Who may include whom among the source rooms (docs/ARCHITECTURE.md); also a native ctest entry.
check-includes:
	scripts/check-includes

# A short fuzzing run of the document core on its seed corpus, every time.
fuzz-test: bootstrap
	FUZZ_SECONDS=10 JOBS=$(JOBS) scripts/fuzz-smoke

run: win64
	scripts/run-pellora

bench: bootstrap
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	build/bench/bench/DocBench

# The parser beside pugixml as the program runs it: built for Windows, run under Wine.
bench-win: bootstrap
	cmake --preset win64 -DPELLORA_PUGIXML_SOURCE=$$(scripts/fetch-pugixml) >/dev/null
	cmake --build --preset win64 -j $(JOBS) --target bench_parse_ratio
	scripts/wine-run build/win64/bench/win/bench_parse_ratio.exe

fuzz-smoke: bootstrap
	JOBS=$(JOBS) scripts/fuzz-smoke

clean:
	rm -rf build

# PELLORA_DPI=144 make stop ends a demo started with PELLORA_DPI=144 make run.
stop:
	@if [[ -x build/run/pctl.exe ]]; then PELLORA_WINE_SESSION=1 WINEPREFIX=$(CURDIR)/build/wine/$(if $(filter-out 96,$(PELLORA_DPI)),prefix-dpi$(PELLORA_DPI),prefix) WINEDEBUG=-all /usr/lib/wine/wine64 build/run/pctl.exe command $$(python3 scripts/resource_ids.py IDM_EXIT) || true; fi
