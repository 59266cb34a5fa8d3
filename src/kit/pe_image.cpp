#include "pe_image.h"

static unsigned read16(const unsigned char *at) {
    return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

static uint32_t read32(const unsigned char *at) {
    return static_cast<uint32_t>(read16(at)) | static_cast<uint32_t>(read16(at + 2)) << 16;
}

// Offsets of the PE format: the DOS header's pointer to the PE header, the
// fields of the file header after the signature, and the optional header's.
enum : uint32_t {
    DOS_HEADER_SIZE = 64,
    PE_POINTER_AT = 0x3c,
    FILE_HEADER_SIZE = 24, // the signature and the file header
    OPTIONAL_HEADERS_SIZE_AT = 60,
    SECTION_SIZE = 40,
    MACHINE_I386 = 0x14c,
    FLAG_EXECUTABLE = 0x0002, // IMAGE_FILE_EXECUTABLE_IMAGE: unset means a linker error
    FLAG_DLL = 0x2000,
    MAGIC_PE32 = 0x10b,
};

// Whether [at, at + size) lies in the head read; beyond it but inside the
// file, the image is not one a loader would take either.
static bool in_head(uint64_t at, uint64_t size, size_t head_len) {
    return at + size <= head_len;
}

static PeVerdict missing_part(uint64_t at, uint64_t size, uint64_t file_size) {
    return at + size > file_size ? PE_CUT_SHORT : PE_NOT_AN_IMAGE;
}

PeVerdict judge_pe_image(const unsigned char *head, size_t head_len, uint64_t file_size,
                         unsigned *machine) {
    *machine = 0;
    if (head_len < 2 || head[0] != 'M' || head[1] != 'Z')
        return PE_NOT_AN_IMAGE;
    if (!in_head(0, DOS_HEADER_SIZE, head_len))
        return missing_part(0, DOS_HEADER_SIZE, file_size);
    uint64_t pe = read32(head + PE_POINTER_AT);
    if (!in_head(pe, FILE_HEADER_SIZE, head_len))
        return missing_part(pe, FILE_HEADER_SIZE, file_size);
    const unsigned char *header = head + pe;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0)
        return PE_NOT_AN_IMAGE;
    *machine = read16(header + 4);
    unsigned sections = read16(header + 6);
    uint64_t optional_size = read16(header + 20);
    unsigned flags = read16(header + 22);
    if (*machine != MACHINE_I386)
        return PE_OTHER_MACHINE;
    if ((flags & FLAG_EXECUTABLE) == 0)
        return PE_NOT_EXECUTABLE;
    if ((flags & FLAG_DLL) == 0)
        return PE_NOT_A_DLL;
    uint64_t optional = pe + FILE_HEADER_SIZE;
    if (optional_size < OPTIONAL_HEADERS_SIZE_AT + 4 || !in_head(optional, optional_size, head_len))
        return optional_size < OPTIONAL_HEADERS_SIZE_AT + 4
                   ? PE_NOT_PE32
                   : missing_part(optional, optional_size, file_size);
    if (read16(head + optional) != MAGIC_PE32)
        return PE_NOT_PE32;
    if (read32(head + optional + OPTIONAL_HEADERS_SIZE_AT) > file_size)
        return PE_CUT_SHORT;
    uint64_t table = optional + optional_size;
    if (!in_head(table, static_cast<uint64_t>(sections) * SECTION_SIZE, head_len))
        return missing_part(table, static_cast<uint64_t>(sections) * SECTION_SIZE, file_size);
    for (unsigned i = 0; i < sections; ++i) {
        uint64_t at = table + static_cast<uint64_t>(i) * SECTION_SIZE;
        uint64_t raw_size = read32(&head[at + 16]);
        uint64_t raw_at = read32(&head[at + 20]);
        if (raw_size > 0 && raw_at + raw_size > file_size)
            return PE_CUT_SHORT;
    }
    return PE_LOADABLE;
}
