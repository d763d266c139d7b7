// Writes the known-answer files of this directory from independent oracles, never from the product: libmcrypt's
// Rijndael in ECB, a textbook FIPS-197 cipher for the one cell whose round count is not Rijndael's (trusted only after
// it matches libmcrypt on every other cell and FIPS-197 Appendix C), OpenSSL's Base64, and the key, envelope and text
// rules written out below. Run once (2026-12-07) as below; the output is frozen, as stored messages are: never regenerate.
//   cmake --build build/h4-native --target generate_vectors && build/h4-native/tests/generate_vectors tests/vectors
#include <mcrypt.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

std::uint8_t Mul(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t p = 0;
    for (; b; b >>= 1, a = static_cast<std::uint8_t>(a << 1 ^ (a & 0x80 ? 0x1B : 0))) p ^= b & 1 ? a : 0;
    return p;
}

// FIPS-197 section 5.1.1: the multiplicative inverse (x^254), then the affine map.
struct SBoxes { std::uint8_t s[256], si[256]; };
const SBoxes SB = [] {
    SBoxes t{};
    for (int x = 0; x < 256; ++x) {
        std::uint8_t inv = x ? 1 : 0;
        for (int i = 0; x && i < 254; ++i) inv = Mul(inv, static_cast<std::uint8_t>(x));
        int b = inv ^ 0x63;
        for (int r = 1; r <= 4; ++r) b ^= (inv << r | inv >> (8 - r)) & 0xFF;
        t.s[x] = static_cast<std::uint8_t>(b), t.si[b] = static_cast<std::uint8_t>(x);
    }
    return t;
}();

// Textbook Rijndael over a block in FIPS-197's column order, any Nb and Nr.
Bytes Textbook(const Bytes& key, int nb, int nr, Bytes s, bool inverse)
{
    const int nk = static_cast<int>(key.size() / 4);
    Bytes w(key);
    std::uint8_t rc = 1;
    for (int i = nk; i < nb * (nr + 1); ++i) {
        std::uint8_t t[4] = {w[4 * i - 4], w[4 * i - 3], w[4 * i - 2], w[4 * i - 1]};
        if (i % nk == 0) std::rotate(t, t + 1, t + 4);
        if (i % nk == 0 || (nk > 6 && i % nk == 4)) for (auto& b : t) b = SB.s[b];
        if (i % nk == 0) t[0] ^= rc, rc = Mul(rc, 2);
        for (int j = 0; j < 4; ++j) w.push_back(w[4 * (i - nk) + j] ^ t[j]);
    }
    const int shift[4] = {0, 1, nb == 8 ? 3 : 2, nb == 8 ? 4 : 3};
    auto addRoundKey = [&](int r) { for (int i = 0; i < 4 * nb; ++i) s[i] ^= w[4 * nb * r + i]; };
    auto subShift = [&] {
        const Bytes t(s);
        for (int i = 0; i < 4 * nb; ++i) {
            const int moved = i % 4 + 4 * ((i / 4 + shift[i % 4]) % nb);
            if (inverse) s[moved] = SB.si[t[i]];
            else s[i] = SB.s[t[moved]];
        }
    };
    auto mix = [&] {
        static const std::uint8_t forward[4] = {2, 3, 1, 1}, backward[4] = {14, 11, 13, 9};
        const std::uint8_t* m = inverse ? backward : forward;
        const Bytes a(s);
        for (int i = 0; i < 4 * nb; ++i) {
            s[i] = 0;
            for (int j = 0; j < 4; ++j) s[i] ^= Mul(a[i - i % 4 + j], m[(j - i % 4 + 4) % 4]);
        }
    };
    addRoundKey(inverse ? nr : 0);
    for (int r = 1; r < nr; ++r)
        if (inverse) subShift(), addRoundKey(nr - r), mix();
        else subShift(), mix(), addRoundKey(r);
    subShift(), addRoundKey(inverse ? 0 : nr);
    return s;
}

Bytes Mcrypt(const Bytes& key, Bytes block, bool inverse)
{
    std::string name = "rijndael-" + std::to_string(block.size() * 8);
    MCRYPT td = mcrypt_module_open(name.data(), nullptr, const_cast<char*>("ecb"), nullptr);
    if (td == MCRYPT_FAILED || mcrypt_generic_init(td, const_cast<std::uint8_t*>(key.data()), static_cast<int>(key.size()), nullptr) < 0)
        std::exit((std::fprintf(stderr, "libmcrypt has no %s\n", name.c_str()), 2));
    (inverse ? mdecrypt_generic : mcrypt_generic)(td, block.data(), static_cast<int>(block.size()));
    mcrypt_generic_deinit(td), mcrypt_module_close(td);
    return block;
}

int Rounds(int nk, int nb) { return nb == 8 || nk == 8 ? 14 : nk == 6 ? 12 : 10; }

// Whole blocks in this cipher's row order (byte r·Nb + c of a block is FIPS byte r + 4c).
Bytes Blocks(const Bytes& key, int nb, Bytes data, bool inverse)
{
    const int nk = static_cast<int>(key.size() / 4), size = 4 * nb;
    for (std::size_t at = 0; at < data.size(); at += size) {
        Bytes cols(size);
        for (int i = 0; i < size; ++i) cols[i] = data[at + i % 4 * nb + i / 4];
        cols = Rounds(nk, nb) == std::max(nk, nb) + 6 ? Mcrypt(key, cols, inverse) : Textbook(key, nb, Rounds(nk, nb), cols, inverse);
        for (int i = 0; i < size; ++i) data[at + i % 4 * nb + i / 4] = cols[i];
    }
    return data;
}

std::mt19937 rng(20261207);
Bytes Random(std::size_t n)
{
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}
Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string Hex(const Bytes& b)
{
    std::string h;
    for (auto x : b) h += "0123456789abcdef"[x >> 4], h += "0123456789abcdef"[x & 15];
    return h;
}

// FIPS-197 Appendix C (keys 00 01 02 ..., block 00 11 22 ...), then libmcrypt.
void SelfCheck()
{
    const char* appendixC[] = {"69c4e0d86a7b0430d8cdb78070b4c55a", "dda97ca4864cdfe06eaf70a0ec0d7191", "8ea2b7ca516745bfeafc49904b496089"};
    Bytes key(32), plain(16);
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i), plain[i % 16] = static_cast<std::uint8_t>(i % 16 * 0x11);
    bool ok = true;
    for (int nk = 4; nk <= 8; nk += 2) {
        const Bytes k(key.begin(), key.begin() + 4 * nk), cipher = Textbook(k, 4, nk + 6, plain, false);
        ok &= Hex(cipher) == appendixC[nk / 2 - 2] && Textbook(k, 4, nk + 6, cipher, true) == plain;
    }
    for (int nk : {4, 6, 8})
        for (int nb : {4, 6, 8})
            for (int i = 0; i < 16 && Rounds(nk, nb) == std::max(nk, nb) + 6; ++i) {
                const Bytes k = Random(4 * nk), block = Random(4 * nb), cipher = Textbook(k, nb, Rounds(nk, nb), block, false);
                ok &= cipher == Mcrypt(k, block, false) && Textbook(k, nb, Rounds(nk, nb), cipher, true) == block;
            }
    if (!ok) std::exit((std::fputs("the textbook cipher disagrees with its references\n", stderr), 1));
}

// Key text rules: the first 16, 24 or 32 bytes, short texts padded from the
// inverse S-box at 0x43.
Bytes KeyOf(const Bytes& text)
{
    const std::size_t n = text.size(), size = text.empty() ? 0 : n >= 32 ? 32 : n >= 24 ? 24 : 16;
    Bytes key(text.begin(), text.begin() + static_cast<long>(std::min(n, size)));
    for (int i = 0x43; key.size() < size; ++i) key.push_back(SB.si[i]);
    return key;
}
std::uint8_t Fingerprint(const Bytes& key)
{
    std::uint8_t f = 0;
    for (int i = 0; i < 8; ++i) f |= key[i] & (0x80 >> i);
    return f;
}

struct Key { Bytes bytes; int nb = 6; };  // nb: the schedule's block length, 0 for none

Bytes Seal(const Key& k, const Bytes& plain)
{
    const std::size_t b = 4 * k.nb, l = plain.size();
    Bytes area(plain), out = {std::uint8_t(l >> 24), std::uint8_t(l >> 16), std::uint8_t(l >> 8), std::uint8_t(l),
                              std::uint8_t(k.nb), std::uint8_t(k.bytes.size() / 4), 0, Fingerprint(k.bytes)};
    area.insert(area.end(), {'Z', 'q', 'v'});
    area.resize((l + 3 + b - 1) / b * b);
    area = Blocks(k.bytes, k.nb, area, false);
    out.insert(out.end(), area.begin(), area.end());
    return out;
}

// The checks of a decryption in their order; the key keeps a switched schedule.
std::string Decrypt(Key& k, const Bytes& m, Bytes& plain)
{
    if (m.size() <= 8) return "BadHeader";
    if (k.bytes.empty()) return "NoKey";
    const std::size_t usable = m.size() - (m[6] == 4 ? 4 : 0);
    const std::uint32_t l = std::uint32_t(m[0]) << 24 | m[1] << 16 | m[2] << 8 | m[3];
    const int nb = m[4];
    if (l >= 0x80000000u || (nb != 4 && nb != 6 && nb != 8)) return "BadHeader";
    if (m[7] != Fingerprint(k.bytes)) return "Fingerprint";
    k.nb = nb;
    const std::uint64_t b = 4 * nb, blocks = (l + 3 + b - 1) / b;
    if (usable != 8 + blocks * b) return "Size";
    if (m[5] != k.bytes.size() / 4) return "KeyLength";
    plain = Blocks(k.bytes, nb, Bytes(m.begin() + 8, m.begin() + 8 + blocks * b), true);
    if (Bytes(plain.begin() + l, plain.begin() + l + 3) != Of("Zqv")) return "Magic";
    return plain.resize(l), "Ok";
}

// RFC 4648 Base64 from OpenSSL, then this format's extra "=" and line feeds.
std::string Base64(const Bytes& b, std::size_t width)
{
    std::string t(4 * ((b.size() + 2) / 3) + 1, '\0'), out;
    t.resize(static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(t.data()), b.data(), static_cast<int>(b.size()))));
    t += '=';
    for (std::size_t i = 0; i < t.size(); i += width ? width : t.size())
        out += t.substr(i, width ? width : t.size()) + (width && i + width <= t.size() ? "\n" : "");
    return out;
}

// Lenient decoding: alphabet characters up to the first "=", the rest skipped.
Bytes Unbase64(const std::string& text)
{
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string kept;
    for (std::size_t i = 0; i < text.size() && text[i] != '=' && text[i] != '\0'; ++i)
        if (alphabet.find(text[i]) != std::string::npos) kept += text[i];
    const std::size_t c = kept.size(), length = 3 * (c / 4) + (c % 4 == 3 ? 2 : c % 4 == 2 ? 1 : 0);
    kept.resize((c + 3) / 4 * 4, 'A');
    Bytes out(kept.size() / 4 * 3 + 1);
    EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(kept.data()), static_cast<int>(kept.size()));
    out.resize(length);
    return out;
}

std::string Mark(const Bytes& envelope, int form)
{
    const bool html = form & 0x01, lines = form & 0x20;
    return "[ZQV]X\n" + std::string(html ? "<!--" : "") + (lines ? "\n" + Base64(envelope, 72) + "\n" : Base64(envelope, 0)) +
           (html ? "-->" : "") + "[/ZQV]";
}

// Code page 932 lead bytes: an end marker starting on a trail byte is none.
bool AlreadyMarked(const std::string& t, bool cp932)
{
    if (t.compare(0, 5, "[ZQV]") != 0) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t.compare(i, 6, "[/ZQV]") == 0) return i + 6 == t.size();
        const auto u = static_cast<std::uint8_t>(t[i]);
        i += cp932 && ((u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC));
    }
    return false;
}

std::string Unmark(Key& k, const std::string& t, Bytes& plain)
{
    const std::size_t end = t.size() < 5 ? std::string::npos : t.find("[/ZQV]", 5);
    if (end == std::string::npos || end + 6 != t.size()) return "NotMarked";
    if (t[5] != 'X') return "Damaged";
    const Bytes envelope = Unbase64(t.substr(6, end - 6));
    return envelope.size() < 8 ? "Damaged" : k.bytes.empty() ? "NoKey" : Decrypt(k, envelope, plain);
}

std::ofstream File(const std::string& dir, const char* name, const char* what, const char* fields)
{
    std::ofstream f(dir + "/" + name);
    f << "# " << what << "\n# Made once by generate_vectors.cpp on 2026-12-07 from independent oracles (see there).\n"
      << "# Frozen: these are stored data of users; never edit or regenerate them.\n# " << fields << "\n";
    return f;
}

// A key row of the scripts below; every later row uses that key.
Key UseKey(std::ostream& out, const std::string& text, int nb)
{
    const Key key{KeyOf(Of(text)), text.empty() ? 0 : nb};
    out << "key text=" << Hex(Of(text)) << " nb=" << key.nb << "\n";
    return key;
}

std::string Outcome(const std::string& status, const Bytes& plain) { return " status=" + status + (status == "Ok" ? " plain=" + Hex(plain) : ""); }

const std::string K128 = "envelope test key", K192 = K128 + "0123456", K256 = K192 + "89abcdef0123456789";
const std::string ZERO_FINGERPRINT = "\x7f\xbf\xdf\xef\xf7\xfb\xfd\xfe";

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) return std::fputs("usage: generate_vectors <output directory>\n", stderr), 2;
    SelfCheck();
    const std::string dir = argv[1];  // one random sequence runs through the files in this order
    auto cipher = File(dir, "cipher.txt", "Single blocks, this cipher's row order: libmcrypt, or the checked textbook cipher for Nk=4 Nb=6.",
                       "block nk= nb= key= plain= cipher=");
    for (int nk : {4, 6, 8})
        for (int nb : {4, 6, 8})
            for (int i = 0; i < 3; ++i) {
                const Bytes key = Random(4 * nk), plain = Random(4 * nb);
                cipher << "block nk=" << nk << " nb=" << nb << " key=" << Hex(key) << " plain=" << Hex(plain)
                       << " cipher=" << Hex(Blocks(key, nb, plain, false)) << "\n";
            }

    auto keys = File(dir, "key_text.txt", "Key texts to raw key bytes (nk=0: no key) and fingerprint, by the key text rules written in the generator.",
                     "key text= nk= bytes= fingerprint=");
    std::vector<Bytes> texts = {Of("\x80\x40\x20\x10\x08\x04\x02\x01"), Of(ZERO_FINGERPRINT), Of("\x01")};
    for (std::size_t n : {0, 1, 7, 8, 15, 16, 17, 23, 24, 31, 32, 33, 40, 100}) {
        texts.push_back(Random(n));
        for (auto& b : texts.back()) b = static_cast<std::uint8_t>(b % 255 + 1);
    }
    for (const Bytes& t : texts) {
        const Bytes key = KeyOf(t);
        keys << "key text=" << Hex(t) << " nk=" << key.size() / 4 << " bytes=" << Hex(key)
             << " fingerprint=" << (key.empty() ? "" : Hex({Fingerprint(key)})) << "\n";
    }

    auto env = File(dir, "envelope.txt", "Envelopes by the rules written in the generator over libmcrypt and the checked textbook cipher; one key at a time: seal gives the envelope or a status; open gives a status, "
                    "the plaintext, and the key's schedule Nb afterwards (0: none).",
                    "key text= nb=(0: bytes only)  limit nb= max=(longest plaintext)  seal plain= [envelope=] status=  open message= status= [plain=] nb=");
    Key key;
    auto use = [&](const std::string& text, int nb) { key = UseKey(env, text, nb); };
    auto seal = [&](const Bytes& p) { env << "seal plain=" << Hex(p) << (key.nb ? " envelope=" + Hex(Seal(key, p)) + " status=Ok\n" : " status=NoKey\n"); };
    auto open = [&](const Bytes& m) { Bytes plain; env << "open message=" << Hex(m) << Outcome(Decrypt(key, m, plain), plain) << " nb=" << key.nb << "\n"; };
    for (const std::string& text : {K128, K192, K256})
        for (int nb : {4, 6, 8}) {
            use(text, nb);
            for (std::size_t l : {0, 20, 21, 22, 23, 45, 46, 100}) seal(Random(l));
            if (text == K128) env << "limit nb=" << nb << " max=" << (0x7FFFFFFF - 8) / (4 * nb) * (4 * nb) - 3 << "\n";
        }
    const Key maker{KeyOf(Of(K128))};
    const Bytes abc = Of("abc"), m = Seal(maker, abc);
    auto with = [](Bytes b, std::size_t at, std::uint8_t v) { return b[at] = v, b; };
    auto length = [&](std::uint32_t l) { Bytes b(m); b[0] = l >> 24, b[1] = l >> 16, b[2] = l >> 8, b[3] = l; return b; };
    auto grown = [](Bytes b, std::size_t n) { return b.resize(b.size() + n, 0xA5), b; };
    use(K128, 6);
    for (std::size_t n : {0, 1, 8}) open(Bytes(m.begin(), m.begin() + n));
    for (int nb : {0, 1, 3, 5, 7, 9, 12, 255}) open(with(m, 4, nb));
    for (std::uint32_t l : {0u, 21u, 22u, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu}) open(length(l));
    open(grown(m, 1)), open(Bytes(m.begin(), m.end() - 1)), open(with(m, 6, 4)), open(grown(with(m, 6, 4), 4));
    for (int flag : {1, 2, 3, 5, 255}) open(with(m, 6, flag)), open(grown(with(m, 6, flag), 4));
    open(with(m, 5, 6)), open(grown(with(m, 5, 6), 1)), open(grown(with(m, 31, m[31] ^ 1), 1)), open(with(m, 31, m[31] ^ 1));
    const Bytes long40 = Seal(maker, Random(40));
    open(with(long40, 8, long40[8] ^ 1)), open(long40);
    open(with(m, 4, 8)), open(m);
    for (int nb : {4, 8}) open(Seal({maker.bytes, nb}, Of("switch"))), seal(Of("next")), use(K128, 6), seal(Of("again"));
    const Key same16{KeyOf(Of(K128 + "!!!!!!!")), 6}, other{KeyOf(Of(ZERO_FINGERPRINT)), 6};
    open(Seal(same16, abc)), open(grown(Seal(same16, abc), 1)), open(Seal({same16.bytes, 4}, abc));
    use(K128, 6), open(Seal({same16.bytes, 4}, abc)), open(with(with(m, 4, 8), 5, 6));
    use("envelope other!!", 6), open(m), open(grown(with(m, 6, 4), 4));
    use(ZERO_FINGERPRINT, 6);
    for (const Bytes& b : {m, grown(m, 1), with(m, 4, 8), with(m, 4, 7), length(0x80000000u), Seal(same16, abc)}) open(b);
    use(K256, 6), open(Seal(other, abc));
    use("", 6), seal(abc), open(m), open(Bytes(m.begin(), m.begin() + 8)), open(with(m, 4, 7));
    use(K128, 0), seal(abc), open(Bytes(m.begin(), m.begin() + 8)), open(with(m, 4, 8)), open(m), seal(abc);

    auto b64 = File(dir, "base64.txt", "Base64 text (hex): RFC 4648 from OpenSSL, one more \"=\", lines of width characters each ended by LF.",
                    "encode bytes= width= text=  decode text= bytes=");
    auto encode = [&](const Bytes& b, int width) { b64 << "encode bytes=" << Hex(b) << " width=" << width << " text=" << Hex(Of(Base64(b, width))) << "\n"; };
    for (const char* t : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) encode(Of(t), 0);
    Bytes descending(256);
    std::iota(descending.rbegin(), descending.rend(), std::uint8_t{0});
    for (int n : {254, 255, 256}) encode(Bytes(descending.begin(), descending.begin() + n), 0);
    for (int width : {1, 2, 3, 71, 72, 73, 76})
        for (std::size_t n : {0, 1, 2, 51, 52, 53, 54, 55, 106, 107, 108}) encode(Random(n), width);
    for (const std::string t : {"YWJj", "YW Jj", "Y\nWJj", "Y\r\nW\tJj\n", "<!--YWJj-->", "YW\x80\xffJ!j", "YWJj=YWJj", "YWJj=\x01garbage", "YWI==",
                                "YWI", "YQ", "Y", "=YWJj", "", " \r\n<!-- -->", "YWJjYQ", "YWJjYWI", "YWJjY", "YR", "YWJ"})
        b64 << "decode text=" << Hex(Of(t)) << " bytes=" << Hex(Unbase64(t)) << "\n";

    auto tf = File(dir, "text_forms.txt", "Marked texts (hex) by the rules written in the generator over its envelopes and OpenSSL's Base64; one key at a time; the plaintext holds the text's terminating NUL.",
                   "key text=  encrypt form= cp=(932: lead bytes) text= status= [marked=]  decrypt marked= status= [plain=]");
    auto useText = [&](const std::string& text) { key = UseKey(tf, text, 6); };
    auto enc = [&](const std::string& t, int form, bool cp932 = false) {
        const bool marked = AlreadyMarked(t, cp932);
        const std::string result = marked ? t : Mark(Seal(key, Of(t + '\0')), form);
        tf << "encrypt form=" << form << " cp=" << (cp932 ? 932 : 0) << " text=" << Hex(Of(t)) << " status="
            << (marked ? "AlreadyMarked" : "Ok marked=" + Hex(Of(result))) << "\n";
        return result;
    };
    auto dec = [&](const std::string& t) { Bytes plain; tf << "decrypt marked=" << Hex(Of(t)) << Outcome(Unmark(key, t, plain), plain) << "\n"; };
    const std::vector<std::string> unmarked = {"", "abc", "[ZQV]", "[ZQV]X", "[/ZQV]", "abcd[/ZQV]", "[ZQV]X\nYWJj[/ZQV", "[ZQV][/ZQV]",
        "[ZQV]X[/ZQV]", "[ZQV]X\n<!---->[/ZQV]", "[ZQV]X\nAAAAAAAAAA=[/ZQV]", "[ZQV]X\n=AAAAAAAAAAAAAAAAAAAAAAAAAA[/ZQV]", "[ZQV]X\nAAAAAAAAAAA=[/ZQV]"};
    useText("correct horse battery");
    const std::string marked = enc("abc", 0);
    for (int form : {0, 0x01, 0x20, 0x21, 0x42}) {
        const std::string again = enc("abc", form);
        dec(again), enc(again, 0), enc(again, 0x01), enc(again, 0x20);
    }
    for (std::size_t n : {0, 20, 21, 22, 44, 45, 68, 100, 150})
        for (int form : {0, 0x20}) dec(enc(std::string(n, static_cast<char>('a' + n % 26)), form));
    dec(enc("\x81\x40 high \xE9\xFF bytes\n\r\t", 0x21));
    for (const std::string extra : {" ", "\n", "[/ZQV]"}) dec(marked + extra), dec(enc(marked + extra, 0));
    enc("[ZQV]?[/ZQV]", 0), enc("[ZQV][/ZQV]", 0);
    for (const auto& t : unmarked) dec(t);
    for (char c : {'A', 'x', 'Y', 'Z'}) dec(marked.substr(0, 5) + c + marked.substr(6));
    dec("hello" + enc("abc", 0x01).substr(5));
    const std::string body = Base64(Seal(key, Of(std::string(150, 'q') + '\0')), 0);
    for (std::size_t width : {1, 17, 64, 76, 1000})
        for (const std::string lf : {"\n", "\r\n"}) {
            std::string wrapped = "[ZQV]X" + lf;
            for (std::size_t i = 0; i < body.size(); i += width) wrapped += body.substr(i, width) + lf;
            dec(wrapped + "[/ZQV]");
        }
    for (const std::string t : {"[ZQV]X\nabc\x81[/ZQV]", "[ZQV]X\x81[/ZQV]x[/ZQV]", "[ZQV]X\x81\x81[/ZQV]", "[ZQV]X\xE0\x40\xFC[/ZQV]", "[ZQV]X\xA0[/ZQV]"})
        enc(t, 0, true), enc(t, 0, false);
    for (const std::string text : {"another key text", "correct horse battery!!", "correct!", "abcdefghijklmnopqrstuvwx", K256.c_str()})
        useText(text), dec(marked), dec(enc("hello, world", 0));
    useText("");
    for (const auto& t : unmarked) dec(t);
    dec(marked);
}
