// The publisher's signature of a downloaded launcher: ECDSA P-256 over the
// SHA-256 of "quillmoor-update-v1\n" + <version> + "\n" + <the file's bytes>,
// as raw r||s, checked through CNG against the keys compiled into the
// launcher. Binding the version stops an old signed executable from being
// served as a newer one.
#pragma once

#include "framework/win32.h"

#include <array>
#include <cstddef>
#include <string>

constexpr std::size_t kUpdateSignatureBytes = 64;
using UpdateSignature = std::array<unsigned char, kUpdateSignatureBytes>;
using UpdatePublicKey = std::array<unsigned char, 64>; // X||Y of a P-256 key
using Sha256Digest = std::array<unsigned char, 32>;

enum class SignatureCheck {
    Verified,       // one of the keys verifies the signature
    Mismatch,       // no key does: another key, version or file
    FileUnreadable, // the download cannot be read
    CryptoFailed,   // CNG refused to hash or to take a key
};

// Incremental SHA-256 through CNG. Ok() is false when CNG has no SHA-256 or
// a call failed; Finish then gives false too.
class Sha256Hasher {
public:
    Sha256Hasher() noexcept;
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;

    bool Ok() const noexcept { return m_ok; }
    void Add(const void* bytes, std::size_t count) noexcept;
    bool Finish(Sha256Digest& digest) noexcept;

private:
    void* m_algorithm = nullptr; // BCRYPT_ALG_HANDLE
    void* m_hash = nullptr;      // BCRYPT_HASH_HANDLE
    bool m_ok = false;
};

// The digest that is signed, read from `file` in blocks.
SignatureCheck HashSignedUpdate(const std::wstring& file, const std::string& version,
                                Sha256Digest& digest);

// Checks `file` as the executable of `version` against `keys`.
SignatureCheck VerifyUpdateFile(const std::wstring& file, const std::string& version,
                                const UpdateSignature& signature, const UpdatePublicKey* keys,
                                std::size_t keyCount);
// The same against the keys the launcher was built with.
SignatureCheck VerifyUpdateFile(const std::wstring& file, const std::string& version,
                                const UpdateSignature& signature);

// Why a check failed, for the log.
const wchar_t* DescribeSignatureCheck(SignatureCheck check) noexcept;
