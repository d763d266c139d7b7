// The registry script parser on any text, then both plans of what it accepts.
#include <cstdlib>
#include <string_view>
#include <vector>

#include "registry_plan.h"
#include "registry_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarnocrypt;
    static const ReplacementMap replacements = {
        {"MODULE", "C:\\Program Files\\it's 100% {odd}\\Zarnocrypt.dll"},
        {"CLSID", "{5586F59A-BE1C-4C5D-8F1B-8641BF4688F5}"},
        {"LIBID", "{53804D82-16E1-4AA8-8495-420759F6AFBD}"},
    };
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParseResult parsed = ParseRegistryScript(text, replacements);
    if (parsed.error == ScriptError::None) {
        if (!parsed.script)
            std::abort();
        for (RegistryMode mode : {RegistryMode::Register, RegistryMode::Unregister}) {
            std::vector<RegistryOp> ops;
            if (!PlanRegistryUpdate(*parsed.script, mode, ops))
                std::abort();
        }
    } else if (parsed.script) {
        std::abort();
    }
    return 0;
}
