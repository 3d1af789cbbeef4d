# make test   install what is missing, configure, build, run every test
# make demo   the same set-up, then the whole course of work on the sample workspace
# make bench  the benchmarks, with the tools they compare against
# make sanitize  a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, every test
# make format-check  the C++ files changed since the last landed commit against clang-format
# make tidy   clang-tidy with the committed configuration over src/ (and src/automation/
#             with the Windows build's compile commands when build-windows/ is configured)
# make fuzz   the readers' fuzz targets (.xlsx, .xls, text, HTML, XML) for FUZZ_SECONDS each (default 600)
# make windows       kelv.exe and the test programs for 64-bit Windows, cross-built
#                    in build-windows/, the release kelv-windows-x64.zip and the
#                    setup program kelv-setup-VERSION.exe
# make test-windows  the same, then every Windows test and scenario under Wine
BUILD ?= build
WINBUILD ?= build-windows
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)

.PHONY: setup configure build test demo bench fuzz sanitize format-check tidy clean windows test-windows

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELV_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS)

demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target kelv
	$(BUILD)/bin/kelv demo

bench: configure
	@bash scripts/setup.sh --bench
	@cmake --build $(BUILD) -j $(JOBS)
	bash bench/run.sh $(BUILD)

fuzz: configure
	@bash scripts/setup.sh --fuzz
	@cmake -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target fuzz_xlsx_reader fuzz_xls_reader fuzz_text_reader \
	  fuzz_html_reader fuzz_xml_reader
	bash scripts/fuzz.sh $(BUILD)

sanitize: setup
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELV_WERROR=ON \
	  -DKELV_SANITIZE=ON -DKELV_BUILD_FORM=OFF >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure --timeout 600 -j $(JOBS)

format-check: setup
	@bash scripts/check_format.sh

tidy: configure
	@JOBS=$(JOBS) bash scripts/tidy.sh $(BUILD) $(WINBUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(WINBUILD)

# The cross-built libraries live in a cache outside the tree
# ($$KELV_MINGW_CACHE, else ~/.cache/kelv-mingw), built once.
windows:
	@bash scripts/setup.sh --windows
	@bash scripts/windows-deps.sh
	@cmake -S . -B $(WINBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELV_WERROR=ON \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
	@cmake --build $(WINBUILD) -j $(JOBS)
	@cmake --build $(WINBUILD) --target release
	@cmake --build $(WINBUILD) --target installer

# The Linux kelv too: the Windows demo is compared with its demo.
# One Wine server for the whole run, kept while tests come and go: a test
# that starts while the server of the one before is shutting down fails to
# connect ("a wine server seems to be running, but I cannot connect to it").
# Wine's own services start with it here, before the tests, so that none of
# them holds a test's output open.
test-windows: windows configure
	@cmake --build $(BUILD) -j $(JOBS) --target kelv
	@bash scripts/wine-run.sh $(WINBUILD)/wine cmd /c exit >/dev/null 2>&1
	@WINEPREFIX=$(abspath $(WINBUILD))/wine wineserver -w
	@WINEPREFIX=$(abspath $(WINBUILD))/wine wineserver -p </dev/null >/dev/null 2>&1
	@bash scripts/wine-run.sh $(WINBUILD)/wine cmd /c exit </dev/null >/dev/null 2>&1
	cd $(WINBUILD) && ctest --output-on-failure --timeout 600 -j $(JOBS); status=$$?; \
	  WINEPREFIX=$(abspath $(WINBUILD))/wine wineserver -k >/dev/null 2>&1; exit $$status

