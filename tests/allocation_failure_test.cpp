// Exhausted memory at every allocation along the core's operations: each
// call succeeds or answers NoMemory with no result, frees what it took, and
// leaves the key usable with the bytes its text gives.
#include <gtest/gtest.h>

#include <cstring>

#include "base64.h"
#include "counting_allocator.h"
#include "envelope.h"
#include "key_text.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

using namespace test;

constexpr char KEY_TEXT[] = "allocation failure key";
constexpr char OTHER_KEY_TEXT[] = "a key text of thirty-two bytes!!";
constexpr char MARKED_PLAIN[] = "the marked plaintext";
constexpr char HTML_PLAIN[] = "some plain text";

bool Same(const Buffer& buffer, const Buffer& expected)
{
    return buffer.size() == expected.size() && std::memcmp(buffer.data(), expected.data(), expected.size()) == 0;
}
const char* Chars(const Buffer& buffer) { return reinterpret_cast<const char*>(buffer.data()); }
std::uint32_t Size32(const Buffer& buffer) { return static_cast<std::uint32_t>(buffer.size()); }

// Everything a scenario needs, made before any failure is injected; the
// foreign envelope has 256-bit blocks.
struct World {
    RijndaelKey key;
    const char* keyText = KEY_TEXT;
    Buffer plain = Buffer::Allocate(100), markedPlain = Buffer::Allocate(sizeof MARKED_PLAIN);
    Buffer envelope, foreignEnvelope, marked, html, base64;

    World()
    {
        LoadKeyText(key, KEY_TEXT, sizeof KEY_TEXT - 1);
        for (std::size_t i = 0; i < plain.size(); ++i)
            plain.data()[i] = static_cast<std::uint8_t>(i * 7);
        std::memcpy(markedPlain.data(), MARKED_PLAIN, sizeof MARKED_PLAIN);
        EncryptEnvelope(key, plain.data(), plain.size(), envelope);
        RijndaelKey wide;
        LoadKeyText(wide, KEY_TEXT, sizeof KEY_TEXT - 1);
        wide.BuildSchedule(8);
        EncryptEnvelope(wide, plain.data(), plain.size(), foreignEnvelope);
        EncryptText(MARKED_PLAIN, key, FORM_LINE_BREAKS, SingleByteCodePage(), marked);
        EncryptText(HTML_PLAIN, key, FORM_HTML_COMMENT, SingleByteCodePage(), html);
        Base64Encode(plain.data(), Size32(plain), 72, base64);
    }
};

// run is called with failures injected, so it allocates nothing of its own.
// On Ok, out must be expected (when there is one) and the key scheduled for nb.
struct Scenario {
    const char* name;
    Status (*run)(World& w, Buffer& out);
    Buffer World::*expected;
    std::int32_t nb;
};

const Scenario SCENARIOS[] = {
    {"LoadKeyText", [](World& w, Buffer&) { return LoadKeyText(w.key, w.keyText = OTHER_KEY_TEXT, sizeof OTHER_KEY_TEXT - 1); }, nullptr, 6},
    {"BuildSchedule", [](World& w, Buffer&) { return w.key.BuildSchedule(8); }, nullptr, 8},
    {"EncryptEnvelope", [](World& w, Buffer& out) { return EncryptEnvelope(w.key, w.plain.data(), w.plain.size(), out); }, &World::envelope, 6},
    {"DecryptEnvelope", [](World& w, Buffer& out) { return DecryptEnvelope(w.key, w.envelope.data(), w.envelope.size(), out); }, &World::plain, 6},
    // The block-length switch allocates a new schedule inside the decryption.
    {"DecryptEnvelopeOfAnotherBlockLength",
     [](World& w, Buffer& out) { return DecryptEnvelope(w.key, w.foreignEnvelope.data(), w.foreignEnvelope.size(), out); }, &World::plain, 8},
    {"EncryptText", [](World& w, Buffer& out) { return EncryptText(HTML_PLAIN, w.key, FORM_HTML_COMMENT, SingleByteCodePage(), out); },
     &World::html, 6},
    {"DecryptText", [](World& w, Buffer& out) { return DecryptText(Chars(w.marked), w.marked.size(), w.key, out); }, &World::markedPlain, 6},
    {"Base64Encode", [](World& w, Buffer& out) { return Base64Encode(w.plain.data(), Size32(w.plain), 72, out); }, &World::base64, 6},
    {"Base64Decode", [](World& w, Buffer& out) { return Base64Decode(Chars(w.base64), w.base64.size(), out); }, &World::plain, 6},
};

// With no failure injected: the key still encrypts, and a fresh key of its
// text has its bytes and reads the result. Only a replaced key may have been
// emptied, and it must take its text again. Problems are returned, not
// asserted: a recorded failure allocates and would blur the leak count.
const char* KeyProblem(World& w, bool replacing)
{
    const std::size_t textLength = std::strlen(w.keyText);
    if (!w.key.HasKeyBytes() && (!replacing || LoadKeyText(w.key, w.keyText, textLength) != Status::Ok))
        return "the key lost its bytes";
    if (!w.key.HasSchedule())
        return "the key lost its schedule";
    RijndaelKey fresh;
    LoadKeyText(fresh, w.keyText, textLength);
    if (fresh.Nk() != w.key.Nk() || std::memcmp(fresh.KeyBytes(), w.key.KeyBytes(), 4 * static_cast<std::size_t>(fresh.Nk())) != 0)
        return "the key bytes changed";
    Buffer sealed, opened;
    if (EncryptEnvelope(w.key, w.plain.data(), w.plain.size(), sealed) != Status::Ok)
        return "the key no longer encrypts";
    if (DecryptEnvelope(fresh, sealed.data(), sealed.size(), opened) != Status::Ok || !Same(opened, w.plain))
        return "a fresh key of the same text cannot read what the key encrypts";
    return nullptr;
}

class AllocationFailure : public testing::TestWithParam<Scenario> {};

INSTANTIATE_TEST_SUITE_P(Core, AllocationFailure, testing::ValuesIn(SCENARIOS),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_P(AllocationFailure, EveryAllocationFailsCleanly)
{
    const Scenario& scenario = GetParam();
    bool completed = false;
    for (long failAt = 0; failAt < 50 && !completed; ++failAt) {
        const long before = liveAllocations;
        Status status = Status::Ok;
        bool right = false;
        const char* problem = nullptr;
        {
            World world;
            Buffer out;
            const bool replacing = std::strcmp(scenario.name, "LoadKeyText") == 0;
            allocationsUntilFailure = failAt;
            status = scenario.run(world, out);
            completed = allocationsUntilFailure > 0;  // the call needed fewer allocations than failAt
            allocationsUntilFailure = -1;
            if (status == Status::Ok)
                right = (!scenario.expected || Same(out, world.*scenario.expected)) && world.key.Nb() == scenario.nb;
            else  // a key is replaced whole or emptied, never half set
                right = !out && !(replacing && world.key.HasKeyBytes());
            problem = KeyProblem(world, replacing);
        }
        const long leaked = liveAllocations - before;  // before anything is recorded
        SCOPED_TRACE(testing::Message() << "failing allocation " << failAt);
        EXPECT_EQ(0, leaked);
        EXPECT_TRUE(status == Status::Ok || status == Status::NoMemory) << static_cast<int>(status);
        EXPECT_TRUE(right);
        EXPECT_TRUE(!completed || status == Status::Ok);
        EXPECT_EQ(nullptr, problem) << problem;
    }
    EXPECT_TRUE(completed) << "more than 50 allocations in one call";
}

}  // namespace
}  // namespace zarnocrypt
