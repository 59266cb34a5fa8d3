// CryptoAPI's SHA-256 (the AES provider, present from XP SP3 on), one
// provider for the run.
#include "deploy_digest.h"

#include <wincrypt.h>

// The headers offer SHA-256 only to programs built for after XP SP2; the
// program targets XP, and XP SP3's provider has it (12 is ALG_SID_SHA_256).
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

static HCRYPTPROV provider = 0;

// A hash ready for data, or 0 with the error.
static HCRYPTHASH new_hash(DWORD *error) {
    HCRYPTHASH hash = 0;
    if ((provider != 0 ||
         CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) &&
        CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
        return hash;
    *error = GetLastError();
    return 0;
}

// Ends the hash into digest as text.
static bool hash_text(HCRYPTHASH hash, char digest[DIGEST_TEXT_SIZE], DWORD *error) {
    BYTE value[32];
    DWORD len = sizeof value;
    bool ok = CryptGetHashParam(hash, HP_HASHVAL, value, &len, 0) && len == sizeof value;
    if (!ok)
        *error = GetLastError();
    CryptDestroyHash(hash);
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; ok && i < 32; ++i) {
        digest[2 * i] = hex[value[i] >> 4];
        digest[2 * i + 1] = hex[value[i] & 15];
    }
    digest[ok ? 64 : 0] = '\0';
    return ok;
}

bool digest_bytes(const char *bytes, size_t size, char digest[DIGEST_TEXT_SIZE], DWORD *error) {
    HCRYPTHASH hash = new_hash(error);
    if (hash == 0)
        return false;
    if (!CryptHashData(hash, reinterpret_cast<const BYTE *>(bytes), static_cast<DWORD>(size), 0)) {
        *error = GetLastError();
        CryptDestroyHash(hash);
        return false;
    }
    return hash_text(hash, digest, error);
}

bool digest_file(const char *path, char digest[DIGEST_TEXT_SIZE], unsigned long long *size,
                 DWORD *error) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    HCRYPTHASH hash = new_hash(error);
    static BYTE block[1 << 16];
    DWORD got = 0;
    *size = 0;
    bool ok = hash != 0;
    while (ok) {
        ok = ReadFile(file, block, sizeof block, &got, nullptr) != 0;
        if (!ok || got == 0)
            break;
        ok = CryptHashData(hash, block, got, 0) != 0;
        *size += got;
    }
    if (hash != 0 && !ok)
        *error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        if (hash != 0)
            CryptDestroyHash(hash);
        return false;
    }
    return hash_text(hash, digest, error);
}
