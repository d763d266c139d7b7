// Writes sealed.txt from independent oracles, never from the product: Debian's argon2 tool for every master key,
// OpenSSL for HKDF-SHA256 and AES-256-GCM, RFC 5869's own case values, and the message layout written out below.
// Run once (2026-12-07) as below; the output is frozen, as stored messages are: never regenerate.
//   cmake --build build/q-native --target generate_sealed_vectors && build/q-native/tests/generate_sealed_vectors > tests/vectors/sealed.txt
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

std::string Hex(const Bytes& b)
{
    std::string h;
    for (auto c : b) h += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return h;
}
std::string Field(const Bytes& b) { return b.empty() ? "-" : Hex(b); }
Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; }

// The argon2 tool takes the salt as an argument and the password (no quote in it here) on its standard input.
Bytes Argon2(const std::string& key, const std::string& salt, int t, int log2m, int p)
{
    const std::string cmd = "printf %s '" + key + "' | argon2 '" + salt + "' -id -t " + std::to_string(t) + " -k " +
                            std::to_string(1 << log2m) + " -p " + std::to_string(p) + " -l 32 -r";
    std::FILE* out = popen(cmd.c_str(), "r");
    char line[128] = {};
    long size = 0;
    std::uint8_t* raw = out && std::fgets(line, sizeof line, out) ? OPENSSL_hexstr2buf(std::strtok(line, "\n"), &size) : nullptr;
    if (!raw || pclose(out) != 0 || size != 32) std::abort();
    const Bytes key32(raw, raw + size);
    OPENSSL_free(raw);
    return key32;
}

Bytes Hkdf(Bytes ikm, Bytes salt, std::string info)
{
    EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
    char digest[] = "SHA256";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, ikm.data(), ikm.size()),
                           OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, salt.data(), salt.size()),
                           OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, info.data(), info.size()),
                           OSSL_PARAM_construct_end()};
    Bytes okm(32);
    if (EVP_KDF_derive(ctx, okm.data(), okm.size(), params) != 1) std::abort();
    return okm;
}

// One chunk: AES-256-GCM, nonce = 11-byte big-endian counter and the last flag, the header as associated data.
Bytes Gcm(const Bytes& key, std::uint64_t counter, bool last, const Bytes& header, const Bytes& plain)
{
    Bytes nonce(12), out(plain.size() + 16);
    for (int i = 0; i < 8; ++i) nonce[10 - i] = static_cast<std::uint8_t>(counter >> 8 * i);
    nonce[11] = last;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, key.data(), nonce.data());
    EVP_EncryptUpdate(ctx, nullptr, &n, header.data(), static_cast<int>(header.size()));
    EVP_EncryptUpdate(ctx, out.data(), &n, plain.data(), static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(ctx, out.data() + n, &n);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, out.data() + plain.size());
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

// A whole message from its pieces; flags chooses each chunk's last flag (default: only the final one).
Bytes Message(const std::string& key, int t, int log2m, int p, const std::string& salt, const Bytes& plain,
              std::size_t chunk, std::vector<bool> flags = {})
{
    Bytes nonce;
    for (int i = 0; i < 16; ++i) nonce.push_back(static_cast<std::uint8_t>(0xA0 + i));
    const Bytes header = Cat(Cat(Of("ZQV2"), {1, std::uint8_t(t), std::uint8_t(log2m), std::uint8_t(p)}), Cat(Of(salt), nonce));
    const Bytes messageKey = Hkdf(Argon2(key, salt, t, log2m, p), nonce, "zarnocrypt sealed v1");
    const std::size_t count = plain.empty() ? 1 : (plain.size() + chunk - 1) / chunk;
    Bytes message = header;
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes piece(plain.begin() + i * chunk, plain.begin() + std::min(plain.size(), (i + 1) * chunk));
        message = Cat(message, Gcm(messageKey, i, flags.empty() ? i + 1 == count : bool(flags[i]), header, piece));
    }
    return message;
}

}  // namespace

int main()
{
    std::puts("# Sealed messages and their primitives from independent oracles (see generate_sealed_vectors.cpp), made once on 2026-12-07.\n"
              "# Frozen: these are stored data of users; never edit or regenerate them. Fields are positional, bytes in hex:\n"
              "#   argon2id key salt t log2m p master|status   hkdf ikm salt info okm\n"
              "#   seal key chunk plain message   (the message also opens)   open key chunk message status");
    const std::string salt = "0123456789abcdef", key = "sealed test key";
    auto argon = [&](std::string k, std::string s, int t, int m, int p, std::string out) {
        std::printf("argon2id %s %s %d %d %d %s\n", Field(Of(k)).c_str(), Field(Of(s)).c_str(), t, m, p, out.c_str());
    };
    for (auto [t, m, p] : {std::array{3, 15, 1}, {1, 3, 1}, {2, 5, 4}})
        argon("password", "somesalt", t, m, p, Hex(Argon2("password", "somesalt", t, m, p)));
    for (auto [t, m, p] : {std::array{255, 18, 4}, {0, 10, 1}, {1, 19, 1}, {1, 10, 5}, {1, 10, 0}, {1, 3, 2}})
        argon("password", "somesalt", t, m, p, "BadHeader");
    argon("", "somesalt", 1, 3, 1, "NoKey");
    std::puts("hkdf 0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b 000102030405060708090a0b0c f0f1f2f3f4f5f6f7f8f9 "
              "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865\n"
              "hkdf 0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b - - "
              "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8");

    Bytes plain(40);
    for (int i = 0; i < 40; ++i) plain[i] = static_cast<std::uint8_t>(i * 37 + 5);
    const std::string longKey = "a key text longer than thirty-two bytes: \xc3\xbc" "n\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9";
    const Bytes three = Message(key, 1, 3, 1, salt, plain, 16);
    auto row = [](const char* verb, const std::string& k, std::size_t chunk, const Bytes& a, const std::string& b) {
        std::printf("%s %s %zu %s %s\n", verb, Field(Of(k)).c_str(), chunk, Field(a).c_str(), b.c_str());
    };
    row("seal", key, 16, plain, Hex(three));
    row("seal", key, 16, Bytes(plain.begin(), plain.begin() + 32), Hex(Message(key, 1, 3, 1, salt, Bytes(plain.begin(), plain.begin() + 32), 16)));
    row("seal", key, 65536, {}, Hex(Message(key, 3, 15, 1, salt, {}, 65536)));
    row("seal", longKey, 65536, Of("hello, sealed"), Hex(Message(longKey, 1, 3, 1, salt, Of("hello, sealed"), 65536)));

    auto changed = [&](std::size_t at, std::uint8_t value) { Bytes m = three; m[at] = value; return m; };
    auto flipped = [&](std::size_t at) { return changed(at, three[at] ^ 0x01); };
    Bytes swapped = three;
    std::copy(three.begin() + 40, three.begin() + 72, swapped.begin() + 72);
    std::copy(three.begin() + 72, three.begin() + 104, swapped.begin() + 40);
    const std::vector<std::pair<Bytes, const char*>> opens = {
        {flipped(0), "BadHeader"}, {flipped(4), "BadHeader"}, {changed(5, 11), "BadHeader"}, {changed(6, 19), "BadHeader"},
        {changed(7, 5), "BadHeader"}, {changed(7, 2), "BadHeader"}, {changed(5, 2), "Unauthentic"}, {flipped(9), "Unauthentic"},
        {flipped(30), "Unauthentic"}, {flipped(41), "Unauthentic"}, {flipped(60), "Unauthentic"}, {flipped(127), "Unauthentic"},
        {Bytes(three.begin(), three.end() - 1), "Unauthentic"}, {Bytes(three.begin(), three.begin() + 104), "Unauthentic"},
        {Bytes(three.begin(), three.begin() + 50), "Unauthentic"}, {Bytes(three.begin(), three.begin() + 40), "Unauthentic"},
        {swapped, "Unauthentic"}, {Cat(three, Bytes(1, 0)), "Unauthentic"},
        {Message(key, 1, 3, 1, salt, plain, 16, {false, false, false}), "Unauthentic"},
        {Message(key, 1, 3, 1, salt, plain, 16, {false, true, true}), "Unauthentic"}};
    for (const auto& [message, status] : opens) row("open", key, 16, message, status);
    row("open", "sealed test kez", 16, three, "Unauthentic");
    row("open", "", 16, three, "NoKey");
}
