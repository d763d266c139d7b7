#include "master_key_cache.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

#include "hkdf_sha256.h"
#include "random_bytes.h"
#include "secure_wipe.h"

namespace zarnocrypt {
namespace {

using Digest = std::array<std::uint8_t, 32>;

// An entry is found by a keyed digest of the key text, never by the text:
// the cache holds no key text, and its digests are worthless outside the process.
struct Entry {
    Digest keyText{};
    std::array<std::uint8_t, 3> parameters{};
    std::array<std::uint8_t, SEALED_SALT_SIZE> salt{};
    std::array<std::uint8_t, SEALED_KEY_SIZE> masterKey{};
    std::uint64_t lastUse = 0;  // 0: free
};

struct WriterSalt {
    Digest keyText{};
    std::array<std::uint8_t, SEALED_SALT_SIZE> salt{};
    std::uint64_t lastUse = 0;
};

// Wiped by its destructor when the process ends or the DLL that holds it unloads.
class Cache {
public:
    Cache() = default;
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;
    ~Cache()
    {
        SecureWipe(entries_.data(), sizeof entries_);
        SecureWipe(writerSalts_.data(), sizeof writerSalts_);
        SecureWipe(digestKey_.data(), digestKey_.size());
    }

    Status DigestOf(std::span<const std::uint8_t> keyText, Digest& digest) noexcept
    {
        {
            std::lock_guard lock(mutex_);
            if (!digestKeyMade_) {
                if (const Status status = RandomBytes(digestKey_); status != Status::Ok)
                    return status;
                digestKeyMade_ = true;
            }
        }
        return HkdfSha256(keyText, digestKey_, {}, digest);
    }

    bool WriterSaltFor(const Digest& keyText, std::span<std::uint8_t, SEALED_SALT_SIZE> salt) noexcept
    {
        std::lock_guard lock(mutex_);
        WriterSalt* found = Find(writerSalts_, [&](const WriterSalt& w) { return w.keyText == keyText; });
        if (found == nullptr) {
            found = Oldest(writerSalts_);
            if (RandomBytes(found->salt) != Status::Ok) {
                found->lastUse = 0;
                return false;
            }
            found->keyText = keyText;
        }
        found->lastUse = ++clock_;
        std::copy(found->salt.begin(), found->salt.end(), salt.begin());
        return true;
    }

    bool Lookup(const Digest& keyText, const SealedHeader& header, std::span<std::uint8_t, SEALED_KEY_SIZE> key) noexcept
    {
        std::lock_guard lock(mutex_);
        Entry* found = Find(entries_, [&](const Entry& e) { return Matches(e, keyText, header); });
        if (found == nullptr)
            return false;
        found->lastUse = ++clock_;
        std::copy(found->masterKey.begin(), found->masterKey.end(), key.begin());
        return true;
    }

    void Keep(const Digest& keyText, const SealedHeader& header, std::span<const std::uint8_t, SEALED_KEY_SIZE> key) noexcept
    {
        std::lock_guard lock(mutex_);
        // Another thread may have derived the same key meanwhile.
        if (Find(entries_, [&](const Entry& e) { return Matches(e, keyText, header); }) != nullptr)
            return;
        Entry* entry = Oldest(entries_);
        SecureWipe(entry, sizeof *entry);
        entry->keyText = keyText;
        entry->parameters = {header.iterations, header.log2Memory, header.lanes};
        entry->salt = header.salt;
        std::copy(key.begin(), key.end(), entry->masterKey.begin());
        entry->lastUse = ++clock_;
    }

private:
    static bool Matches(const Entry& e, const Digest& keyText, const SealedHeader& header) noexcept
    {
        return e.lastUse != 0 && e.keyText == keyText && e.salt == header.salt &&
               e.parameters == std::array<std::uint8_t, 3>{header.iterations, header.log2Memory, header.lanes};
    }

    template <typename T, typename Predicate>
    static T* Find(std::array<T, MASTER_KEY_CACHE_ENTRIES>& table, Predicate matches) noexcept
    {
        const auto it = std::find_if(table.begin(), table.end(), matches);
        return it == table.end() ? nullptr : &*it;
    }

    // A free slot has lastUse 0, so it is also the oldest.
    template <typename T>
    static T* Oldest(std::array<T, MASTER_KEY_CACHE_ENTRIES>& table) noexcept
    {
        return &*std::min_element(table.begin(), table.end(),
                                  [](const T& a, const T& b) { return a.lastUse < b.lastUse; });
    }

    std::mutex mutex_;
    std::array<Entry, MASTER_KEY_CACHE_ENTRIES> entries_{};
    std::array<WriterSalt, MASTER_KEY_CACHE_ENTRIES> writerSalts_{};
    std::array<std::uint8_t, 32> digestKey_{};
    bool digestKeyMade_ = false;
    std::uint64_t clock_ = 0;
};

Cache cache;
std::atomic<std::uint64_t> derivations{0};

}  // namespace

Status NewSealedHeader(std::span<const std::uint8_t> keyTextUtf8, SealedHeader& header) noexcept
{
    Digest digest;
    if (const Status status = cache.DigestOf(keyTextUtf8, digest); status != Status::Ok)
        return status;
    SealedHeader made;
    if (!cache.WriterSaltFor(digest, made.salt))
        return Status::Io;
    if (const Status status = RandomBytes(made.nonce); status != Status::Ok)
        return status;
    header = made;
    return Status::Ok;
}

Status CachedMasterKey(std::span<const std::uint8_t> keyTextUtf8, const SealedHeader& header,
                       std::span<std::uint8_t, SEALED_KEY_SIZE> masterKey) noexcept
{
    Digest digest;
    if (const Status status = cache.DigestOf(keyTextUtf8, digest); status != Status::Ok)
        return status;
    if (cache.Lookup(digest, header, masterKey))
        return Status::Ok;
    ++derivations;
    if (const Status status = DeriveSealedMasterKey(keyTextUtf8, header, masterKey); status != Status::Ok)
        return status;
    cache.Keep(digest, header, masterKey);
    return Status::Ok;
}

std::uint64_t MasterKeyDerivations() noexcept
{
    return derivations.load();
}

}  // namespace zarnocrypt
