// Sealed messages from any bytes, read whole and streamed in small pieces
// under the key text "fuzz": the two readers agree, and a message that does
// not authenticate gives no plaintext. Headers that ask Argon2id for more
// than 1 MiB are passed by: their cost is bounded by the reader's limits,
// and the fuzzer would spend its time in them.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "either_format.h"
#include "key_text.h"
#include "sealed_message.h"
#include "sealed_text.h"

namespace {

using namespace zarnocrypt;

struct PieceSource final : ByteSource {
    PieceSource(const std::uint8_t* bytes, std::size_t length) noexcept : data(bytes), size(length) {}
    const std::uint8_t* data;
    std::size_t size;
    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override
    {
        got = std::min({want, size, std::size_t{7}});
        std::memcpy(into, data, got);
        data += got;
        size -= got;
        return Status::Ok;
    }
};

struct VectorSink final : ByteSink {
    std::vector<std::uint8_t> bytes;
    Status Write(const std::uint8_t* data, std::size_t size) noexcept override
    {
        bytes.insert(bytes.end(), data, data + size);
        return Status::Ok;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::string_view keyText = "fuzz";
    const std::span<const std::uint8_t> key(reinterpret_cast<const std::uint8_t*>(keyText.data()), keyText.size());
    if (StartsSealedMessage({data, size}) && size > 6 && data[6] > 10)
        return 0;
    RijndaelKey legacy;
    LoadKeyText(legacy, keyText.data(), keyText.size());

    Buffer whole;
    const Status status = DecryptAnyBytes({data, size}, legacy, key, whole);
    PieceSource source(data, size);
    VectorSink sink;
    std::uint8_t work[ENVELOPE_STREAM_MIN_WORK];
    const Status streamed = DecryptAnyStream(legacy, key, source, sink, work, size);
    if ((status == Status::Ok) != (streamed == Status::Ok) || (status != Status::Ok && whole))
        std::abort();
    if (status == Status::Ok && !std::equal(sink.bytes.begin(), sink.bytes.end(), whole.begin(), whole.end()))
        std::abort();

    SealedHeader header;
    std::uint64_t chunks = 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (ReadSealedText(text, header, chunks) == Status::Ok && chunks == 0)
        std::abort();
    return 0;
}
