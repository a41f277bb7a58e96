#include "update/update_signature.h"

#include "framework/handles.h"
#include "update/update_keys.h"
#include "update/version_text.h"

#include <bcrypt.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
// CNG is loaded from the system folder when an update is first checked, not
// imported: under Wine it brings the host's TLS library along, several MiB
// that every start would otherwise carry.
struct CngApi {
    decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
    decltype(&::BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
    decltype(&::BCryptCreateHash) CreateHash = nullptr;
    decltype(&::BCryptHashData) HashData = nullptr;
    decltype(&::BCryptFinishHash) FinishHash = nullptr;
    decltype(&::BCryptDestroyHash) DestroyHash = nullptr;
    decltype(&::BCryptImportKeyPair) ImportKeyPair = nullptr;
    decltype(&::BCryptDestroyKey) DestroyKey = nullptr;
    decltype(&::BCryptVerifySignature) VerifySignature = nullptr;

    bool Ok() const noexcept
    {
        return OpenAlgorithmProvider && CloseAlgorithmProvider && CreateHash && HashData &&
               FinishHash && DestroyHash && ImportKeyPair && DestroyKey && VerifySignature;
    }
};

template <typename F> void Bind(HMODULE module, const char* name, F& function) noexcept
{
    function = reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

CngApi LoadCng() noexcept
{
    CngApi api;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 12)
        return api;
    // Kept for the rest of the process, like an imported DLL.
    const HMODULE module = ::LoadLibraryW((std::wstring(folder) + L"\\bcrypt.dll").c_str());
    if (!module)
        return api;
    Bind(module, "BCryptOpenAlgorithmProvider", api.OpenAlgorithmProvider);
    Bind(module, "BCryptCloseAlgorithmProvider", api.CloseAlgorithmProvider);
    Bind(module, "BCryptCreateHash", api.CreateHash);
    Bind(module, "BCryptHashData", api.HashData);
    Bind(module, "BCryptFinishHash", api.FinishHash);
    Bind(module, "BCryptDestroyHash", api.DestroyHash);
    Bind(module, "BCryptImportKeyPair", api.ImportKeyPair);
    Bind(module, "BCryptDestroyKey", api.DestroyKey);
    Bind(module, "BCryptVerifySignature", api.VerifySignature);
    return api;
}

const CngApi& Cng() noexcept
{
    static const CngApi api = LoadCng();
    return api;
}

// Big enough that a download costs few calls, small enough for the stack of
// no thread in particular.
constexpr DWORD kReadBlock = 64 * 1024;

struct AlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { Cng().CloseAlgorithmProvider(h, 0); }
};
using UniqueAlgorithm = UniqueResource<AlgorithmTraits>;

struct KeyTraits {
    using Handle = BCRYPT_KEY_HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { Cng().DestroyKey(h); }
};
using UniqueKey = UniqueResource<KeyTraits>;

// BCRYPT_ECCPUBLIC_BLOB of a P-256 key: the header, then X and Y.
struct EccPublicBlob {
    BCRYPT_ECCKEY_BLOB header;
    unsigned char xy[64];
};
static_assert(sizeof(EccPublicBlob) == 72, "CNG takes the header and X||Y without padding");

bool VerifiesUnder(BCRYPT_ALG_HANDLE ecdsa, const UpdatePublicKey& key, Sha256Digest& digest,
                   UpdateSignature& signature) noexcept
{
    EccPublicBlob blob{};
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = 32;
    std::copy(key.begin(), key.end(), blob.xy);
    BCRYPT_KEY_HANDLE raw = nullptr;
    // Windows refuses a point off the curve here, Wine only at the check:
    // either way the key verifies nothing.
    if (!BCRYPT_SUCCESS(Cng().ImportKeyPair(ecdsa, nullptr, BCRYPT_ECCPUBLIC_BLOB, &raw,
                                            reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0)))
        return false;
    const UniqueKey handle(raw);
    return BCRYPT_SUCCESS(Cng().VerifySignature(handle.get(), nullptr, digest.data(),
                                                static_cast<ULONG>(digest.size()), signature.data(),
                                                static_cast<ULONG>(signature.size()), 0));
}
} // namespace

Sha256Hasher::Sha256Hasher() noexcept
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Cng().Ok())
        return;
    if (!BCRYPT_SUCCESS(
            Cng().OpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return;
    m_algorithm = algorithm;
    BCRYPT_HASH_HANDLE hash = nullptr;
    // Vista and 7 need the caller's object buffer only when asked for one;
    // null lets CNG allocate it.
    if (!BCRYPT_SUCCESS(Cng().CreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
        return;
    m_hash = hash;
    m_ok = true;
}

Sha256Hasher::~Sha256Hasher()
{
    if (m_hash)
        Cng().DestroyHash(m_hash);
    if (m_algorithm)
        Cng().CloseAlgorithmProvider(m_algorithm, 0);
}

void Sha256Hasher::Add(const void* bytes, std::size_t count) noexcept
{
    auto* p = static_cast<PUCHAR>(const_cast<void*>(bytes));
    while (m_ok && count > 0) {
        const ULONG part = count > kReadBlock ? kReadBlock : static_cast<ULONG>(count);
        m_ok = BCRYPT_SUCCESS(Cng().HashData(m_hash, p, part, 0));
        p += part;
        count -= part;
    }
}

bool Sha256Hasher::Finish(Sha256Digest& digest) noexcept
{
    m_ok = m_ok && BCRYPT_SUCCESS(Cng().FinishHash(m_hash, digest.data(),
                                                   static_cast<ULONG>(digest.size()), 0));
    return m_ok;
}

SignatureCheck HashSignedUpdate(const std::wstring& file, const std::string& version,
                                Sha256Digest& digest)
{
    const UniqueHandle source(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source)
        return SignatureCheck::FileUnreadable;
    Sha256Hasher hasher;
    const std::string prefix = SignedUpdatePrefix(version);
    hasher.Add(prefix.data(), prefix.size());
    std::vector<unsigned char> block(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(source.get(), block.data(), kReadBlock, &read, nullptr))
            return SignatureCheck::FileUnreadable;
        if (read == 0)
            break;
        hasher.Add(block.data(), read);
    }
    return hasher.Finish(digest) ? SignatureCheck::Verified : SignatureCheck::CryptoFailed;
}

SignatureCheck VerifyUpdateFile(const std::wstring& file, const std::string& version,
                                const UpdateSignature& signature, const UpdatePublicKey* keys,
                                std::size_t keyCount)
{
    Sha256Digest digest{};
    const SignatureCheck hashed = HashSignedUpdate(file, version, digest);
    if (hashed != SignatureCheck::Verified)
        return hashed;
    BCRYPT_ALG_HANDLE raw = nullptr;
    if (!Cng().Ok() ||
        !BCRYPT_SUCCESS(Cng().OpenAlgorithmProvider(&raw, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return SignatureCheck::CryptoFailed;
    const UniqueAlgorithm ecdsa(raw);
    UpdateSignature copy = signature; // CNG takes non-const buffers
    for (std::size_t i = 0; i < keyCount; ++i) {
        if (VerifiesUnder(ecdsa.get(), keys[i], digest, copy))
            return SignatureCheck::Verified;
    }
    return SignatureCheck::Mismatch;
}

SignatureCheck VerifyUpdateFile(const std::wstring& file, const std::string& version,
                                const UpdateSignature& signature)
{
    return VerifyUpdateFile(file, version, signature, kUpdateKeys, kUpdateKeyCount);
}

const wchar_t* DescribeSignatureCheck(SignatureCheck check) noexcept
{
    switch (check) {
    case SignatureCheck::Verified: return L"signature verified";
    case SignatureCheck::Mismatch: return L"the signature matches no update key";
    case SignatureCheck::FileUnreadable: return L"the download cannot be read";
    case SignatureCheck::CryptoFailed: return L"CNG could not check the signature";
    }
    return L"unknown";
}
