// SHA-256 from the platform's own cryptographic provider: a build's
// identity must come from a real hash, never from one of our own.
#pragma once

#include "../control/platform.h"
#include "deploy_build.h"

// The digest of a file's bytes as text, and its size; false with the
// system's error when it cannot be read or hashed.
bool digest_file(const char *path, char digest[DIGEST_TEXT_SIZE], unsigned long long *size,
                 DWORD *error);

// The digest of bytes in memory.
bool digest_bytes(const char *bytes, size_t size, char digest[DIGEST_TEXT_SIZE], DWORD *error);
