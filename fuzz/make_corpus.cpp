// Writes the seed corpora of the fuzz targets: valid messages of every form
// under every key class, envelopes with the appendix and of every block
// length, boundary lengths, and the component's registry script.
// Usage: make_fuzz_corpus <fuzz/corpus> <component/Zarnocrypt.rgs>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base64.h"
#include "envelope.h"
#include "fuzz_keys.h"
#include "text_forms.h"

namespace {

using namespace zarnocrypt;
namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes WithSelector(std::uint8_t selector, const std::uint8_t* bytes, std::size_t size)
{
    Bytes out{selector};
    out.insert(out.end(), bytes, bytes + size);
    return out;
}

Bytes Envelope(RijndaelKey& key, std::size_t length)
{
    const std::string data(length, 'e');
    EnvelopeCodec codec;
    codec.BindKey(key);
    const Buffer envelope = codec.EncryptEnvelope(reinterpret_cast<const std::uint8_t*>(data.data()),
                                                  static_cast<std::int32_t>(length));
    return Bytes(envelope.begin(), envelope.end());
}

void WriteTextSeeds(const fs::path& dir)
{
    const std::uint32_t forms[] = {0, FORM_HTML_COMMENT, FORM_LINE_BREAKS};
    for (std::uint8_t k = 1; k < fuzz::KEY_COUNT; ++k) {
        RijndaelKey key;
        fuzz::SelectKey(k, key);
        for (std::uint32_t form : forms) {
            for (const char* text : {"", "abc", "a text long enough to need a second block and a third one too"}) {
                const EncryptTextResult marked = EncryptText(text, key, form);
                Write(dir, "key" + std::to_string(k) + "-form" + std::to_string(form) + "-" +
                               std::to_string(std::char_traits<char>::length(text)),
                      WithSelector(k, marked.text.data(), marked.text.size()));
            }
        }
    }
    const std::string plain[] = {"plain text", "[ZQV]Y\nAAAA=[/ZQV]", "[ZQV]X\n[/ZQV]", "[ZQV]X\n[/ZQV] "};
    for (std::size_t i = 0; i < std::size(plain); ++i)
        Write(dir, "odd" + std::to_string(i),
              WithSelector(1, reinterpret_cast<const std::uint8_t*>(plain[i].data()), plain[i].size()));
}

void WriteEnvelopeSeeds(const fs::path& dir)
{
    for (std::uint8_t k = 1; k < fuzz::KEY_COUNT; ++k) {
        for (std::int32_t nb : {4, 6, 8}) {
            RijndaelKey key;
            fuzz::SelectKey(k, key);
            key.BuildSchedule(nb);
            for (std::size_t length : {0u, 21u, 22u, 45u, 100u}) {
                Bytes envelope = Envelope(key, length);
                const std::string name = "key" + std::to_string(k) + "-nb" + std::to_string(nb) + "-" +
                                         std::to_string(length);
                Write(dir, name, WithSelector(k, envelope.data(), envelope.size()));
                envelope[6] = ENVELOPE_APPENDIX_FLAG;
                envelope.insert(envelope.end(), {0x12, 0x34, 0x56, 0x78});
                Write(dir, name + "-appendix", WithSelector(k, envelope.data(), envelope.size()));
            }
        }
    }
}

void WriteBase64Seeds(const fs::path& dir)
{
    const std::string texts[] = {"YWJj=", "YWI==", "YQ===", "=", "Y\nWJj", "<!--YW Jj-->", "Y", ""};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        Write(dir, "text" + std::to_string(i), Bytes(texts[i].begin(), texts[i].end()));
}

// Nk selector, Nb selector, 32 key bytes, then 1, 5 or 17 blocks: every cell.
void WriteCipherPathSeeds(const fs::path& dir)
{
    std::mt19937 random(7);
    for (std::uint8_t k = 0; k < 3; ++k) {
        for (std::uint8_t b = 0; b < 3; ++b) {
            const std::size_t blockSize = 4u * (4 + 2u * b);
            for (std::size_t count : {1u, 5u, 17u}) {
                Bytes seed{k, b};
                for (std::size_t i = 0; i < 32 + count * blockSize; ++i)
                    seed.push_back(static_cast<std::uint8_t>(random()));
                Write(dir, "nk" + std::to_string(4 + 2 * k) + "-nb" + std::to_string(4 + 2 * b) + "-" +
                               std::to_string(count),
                      seed);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_corpus <corpus dir> <registry script>\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    WriteTextSeeds(corpus / "decrypt_text");
    WriteEnvelopeSeeds(corpus / "decrypt_envelope");
    WriteBase64Seeds(corpus / "base64_decode");
    WriteCipherPathSeeds(corpus / "cipher_paths");
    fs::create_directories(corpus / "registry_script");
    fs::copy_file(argv[2], corpus / "registry_script" / "component.rgs",
                  fs::copy_options::overwrite_existing);
    return 0;
}
