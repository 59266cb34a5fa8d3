// Whether a file is what a 32-bit AutoCAD can load as a driver or resource
// library: a 32-bit x86 Windows DLL, judged from its headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum PeVerdict {
    PE_LOADABLE,       // a PE32 image for i386, flagged executable and DLL, all in the file
    PE_NOT_AN_IMAGE,   // no MZ header, or no PE header where it points
    PE_OTHER_MACHINE,  // built for another processor (*machine: 0x8664 for AMD64)
    PE_NOT_EXECUTABLE, // without the executable-image flag: a linker error
    PE_NOT_A_DLL,      // a program, not a library
    PE_NOT_PE32,       // the optional header is not the 32-bit kind
    PE_CUT_SHORT,      // headers or sections reach past the end of the file
};

// How many bytes from the start the judgement needs at most; fewer when
// the file is shorter.
enum { PE_HEAD_SIZE = 65536 };

// head holds the first head_len bytes of a file of file_size bytes.
PeVerdict judge_pe_image(const unsigned char *head, size_t head_len, uint64_t file_size,
                         unsigned *machine);
