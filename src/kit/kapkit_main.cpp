#include "kapkit.h"

int main(int argc, char **argv) {
    return kapkit_main(argc, argv, stdout, stderr);
}
