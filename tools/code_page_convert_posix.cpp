#include <iconv.h>

#include <cstdint>

#include "code_page_convert.h"

namespace zarnocrypt::cli {
namespace {

std::string CharsetName(unsigned codePage)
{
    return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter()
    {
        if (ok())
            iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// No single-byte or double-byte code page needs more than 4 bytes for one
// UTF-8 byte, nor UTF-8 more than 3 for one byte of a code page.
constexpr std::size_t GROWTH = 4;

}  // namespace

std::string ConvertText(Conversion direction, unsigned codePage, const std::uint8_t* text, std::size_t size,
                        Buffer& out)
{
    const bool to = direction == Conversion::ToCodePage;
    const Converter converter(to ? CharsetName(codePage) : "UTF-8", to ? "UTF-8" : CharsetName(codePage));
    if (!converter.ok())
        return "code page " + std::to_string(codePage) + " is not supported on this system";
    Buffer result = size < SIZE_MAX / GROWTH ? Buffer::Allocate(size * GROWTH + 1) : Buffer();
    if (!result)
        return "out of memory";
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text));
    std::size_t inLeft = size;
    char* next = reinterpret_cast<char*>(result.data());
    std::size_t outLeft = result.size() - 1;
    // Without //TRANSLIT iconv stops at what it cannot convert; a count of
    // irreversible conversions above zero is an approximation, refused too.
    const std::size_t done = iconv(converter.get(), &in, &inLeft, &next, &outLeft);
    if (done != 0 || inLeft != 0) {
        const std::string at = " (at byte offset " + std::to_string(size - inLeft) + ")";
        if (to)
            return "a character has no exact equivalent in code page " + std::to_string(codePage) + at;
        return "the text is not valid in code page " + std::to_string(codePage) + at;
    }
    result.Shrink(result.size() - 1 - outLeft);
    out = std::move(result);
    return {};
}

}  // namespace zarnocrypt::cli
