# make            builds the Windows program (tools assumed present)
# make check      installs what is missing, builds both builds, runs every test
# make demo       installs what is missing, builds, runs the installer under Wine
# make release    builds build/release/ (signed with KAP_SIGN_PFX, see README)
# make dlgdriver  builds the dialog driver and the other programs that the Wine runs need
# make kapkit     builds the kit checker for Windows (natively: make native)
# make kapdeploy  builds the installer for deployment tools (kapdeploy.exe)
# make bench      runs every benchmark with the settings of docs/performance.md
WIN32_DIR  := build/win32
NATIVE_DIR := build/native

PORTABLE   := $(shell cat src/portable_sources.txt src/kit/kit_sources.txt src/deploy/deploy_sources.txt)
SOURCES    := $(shell find src -name '*.cpp' | sort)
POSIX_ONLY := $(filter %_posix.cpp,$(SOURCES))
TOOLS_C    := $(sort $(wildcard tools/dlgdriver/*.c tools/conwatch/*.c tools/shared/*.c \
                tests/win32/*.c bench/durable_copy/*.c))
FUZZ_SECONDS ?= 20

.PHONY: all exe dlgdriver kapkit kapdeploy native setup check demo release lint fuzz bench clean

all: exe

exe:
	@cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
	@cmake --build $(WIN32_DIR) -j2 --target KapHdiInstaller

# Not part of the product: built only for the runs under Wine.
dlgdriver: exe
	@cmake --build $(WIN32_DIR) -j2 --target dlgdriver
	@cmake --build $(WIN32_DIR) -j2 --target conwatch
	@cmake --build $(WIN32_DIR) -j2 --target conformance

kapkit: exe
	@cmake --build $(WIN32_DIR) -j2 --target kapkit

kapdeploy: exe
	@cmake --build $(WIN32_DIR) -j2 --target kapdeploy

native:
	@cmake -S . -B $(NATIVE_DIR) -DKAP_WIN32_DIR=$(CURDIR)/$(WIN32_DIR) \
	  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
	@cmake --build $(NATIVE_DIR) -j2

setup:
	@tools/setup.sh

check: setup
	@$(MAKE) --no-print-directory exe dlgdriver kapkit kapdeploy native lint
	@python3 tools/vm.py mode >/dev/null
	@cd $(NATIVE_DIR) && ctest --output-on-failure

# Static analysis: every source as the Windows build sees it (the test
# tools' too), the portable ones also as the native build does, and the
# Python of the tests, tools and benchmarks; zero findings allowed.
lint: exe native
	@clang-tidy -p $(WIN32_DIR) --quiet --extra-arg=--target=i686-w64-mingw32 \
	  $(filter-out $(POSIX_ONLY),$(SOURCES)) $(TOOLS_C) \
	  >build/tidy-win32.log 2>&1 || { grep -v 'warnings generated' build/tidy-win32.log; exit 1; }
	@clang-tidy -p $(NATIVE_DIR) --quiet $(PORTABLE) $(POSIX_ONLY) \
	  >build/tidy-native.log 2>&1 || { grep -v 'warnings generated' build/tidy-native.log; exit 1; }
	@cppcheck --quiet --error-exitcode=1 --enable=warning,style,performance,portability \
	  --std=c++17 -I src -I src/ui -I tools/shared src tools/dlgdriver tools/conwatch tools/shared \
	  tests/win32 bench/durable_copy
	@clang-format --dry-run --Werror $(SOURCES) $(TOOLS_C) \
	  $(wildcard src/*/*.h tools/dlgdriver/*.h tools/shared/*.h tests/win32/*.h tests/unit/*.cpp \
	    tests/fuzz/*.cpp)
	@flake8 tests tools bench
	@echo "lint: clang-tidy, cppcheck, clang-format and flake8 found nothing"

fuzz:
	@tests/fuzz/run.sh $(FUZZ_SECONDS)

demo: setup
	@$(MAKE) --no-print-directory exe dlgdriver kapkit kapdeploy
	@python3 tools/demo.py $(WIN32_DIR)

release: setup
	@$(MAKE) --no-print-directory exe kapkit kapdeploy
	@tools/release.sh $(WIN32_DIR) build/release

# Long: the end-to-end benchmark runs make check in fresh clones, both modes.
bench: setup
	@$(MAKE) --no-print-directory exe dlgdriver kapkit kapdeploy native
	@for script in bench/*.py; do echo "== $$script"; python3 $$script || exit 1; done

clean:
	rm -rf build
