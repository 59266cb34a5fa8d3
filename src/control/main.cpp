// The entry point: no command line is read and the exit code is always 0.
#include "install_run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    platform_start();
    run_install(instance);
    return 0;
}
