# make         builds the Windows program (tools assumed present)
# make check   installs what is missing, builds both builds, runs every test
# make demo    installs what is missing, builds, runs the installer under Wine
WIN32_DIR  := build/win32
NATIVE_DIR := build/native
EXE        := $(WIN32_DIR)/KapHdiInstaller.exe

.PHONY: all exe native setup check demo clean

all: exe

exe:
	@cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(WIN32_DIR) -j2

native:
	@cmake -S . -B $(NATIVE_DIR) -DKAP_WIN32_DIR=$(CURDIR)/$(WIN32_DIR) >/dev/null
	@cmake --build $(NATIVE_DIR) -j2

setup:
	@tools/setup.sh

check: setup
	@$(MAKE) --no-print-directory exe native
	@cd $(NATIVE_DIR) && ctest --output-on-failure

demo: setup
	@$(MAKE) --no-print-directory exe
	@python3 tools/demo.py $(WIN32_DIR)

clean:
	rm -rf build
