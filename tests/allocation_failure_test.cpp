// Exhausted memory at every allocation along the core's operations: each
// gives its failure (empty result, OutOfMemory outcome, ERR_NO_MEMORY),
// frees what it took, and leaves the key usable with its bytes unchanged.
#include <gtest/gtest.h>

#include <cstring>

#include "base64.h"
#include "counting_allocator.h"
#include "envelope.h"
#include "hex.h"
#include "rijndael_key.h"
#include "status.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

using namespace test;

constexpr char KEY_TEXT[] = "allocation failure key";
constexpr char OTHER_KEY_TEXT[] = "a key text of thirty-two bytes!!";

Bytes Seal(RijndaelKey& key, const Bytes& plain)
{
    EnvelopeCodec codec;
    codec.BindKey(key);
    return ToBytes(codec.EncryptEnvelope(plain.data(), static_cast<std::int32_t>(plain.size())));
}

// Everything a scenario needs, made before any failure is injected.
struct World {
    RijndaelKey key;  // KEY_TEXT, scheduled for 192-bit blocks
    const char* keyText = KEY_TEXT;
    Bytes plain;
    Bytes envelope;         // plain under key
    Bytes foreignEnvelope;  // plain under the same key text, 256-bit blocks
    std::string marked;     // "the marked plaintext" under key
    std::string base64;

    World()
    {
        key.SetKeyText(KEY_TEXT);
        key.BuildSchedule(6);
        for (int i = 0; i < 100; ++i)
            plain.push_back(static_cast<std::uint8_t>(i * 7));
        envelope = Seal(key, plain);
        RijndaelKey wide;
        wide.SetKeyText(KEY_TEXT);
        wide.BuildSchedule(8);
        foreignEnvelope = Seal(wide, plain);
        const EncryptTextResult text = EncryptText("the marked plaintext", key, FORM_LINE_BREAKS);
        marked.assign(reinterpret_cast<const char*>(text.text.data()), text.text.size());
        const Buffer encoded = Base64Encode(plain.data(), static_cast<std::uint32_t>(plain.size()), 72);
        base64.assign(reinterpret_cast<const char*>(encoded.data()), encoded.size());
    }
};

// What one call under injection gave: its success, or its documented
// failure for want of memory. Anything else is neither.
struct Outcome {
    bool succeeded;
    bool outOfMemory;
};

// Compares without allocating: scenarios run with failures injected.
bool SameBytes(const Buffer& buffer, std::size_t count, const Bytes& expected)
{
    return count == expected.size() && count <= buffer.size() &&
           std::memcmp(buffer.data(), expected.data(), count) == 0;
}

// run is called with failures injected: it must allocate nothing of its own.
struct Scenario {
    const char* name;
    Outcome (*run)(World& world);
};

Outcome EnvelopeOutcome(const Buffer& result, const EnvelopeCodec& codec)
{
    return {static_cast<bool>(result), !result && codec.OutOfMemory()};
}

const Scenario SCENARIOS[] = {
    {"SetKeyText",
     [](World& w) {
         w.key.SetKeyText(OTHER_KEY_TEXT);
         w.keyText = OTHER_KEY_TEXT;
         // The key is replaced or, for want of memory, emptied: never half set.
         return Outcome{w.key.HasKeyBytes() && w.key.Nk() == 8, !w.key.HasKeyBytes() && !w.key.HasSchedule()};
     }},
    {"BuildSchedule",
     [](World& w) {
         const std::int32_t status = w.key.BuildSchedule(8);
         return Outcome{status == STATUS_OK && w.key.Nb() == 8, status == ERR_NO_MEMORY};
     }},
    {"EncryptEnvelope",
     [](World& w) {
         EnvelopeCodec codec;
         codec.BindKey(w.key);
         const Buffer sealed = codec.EncryptEnvelope(w.plain.data(), static_cast<std::int32_t>(w.plain.size()));
         return EnvelopeOutcome(sealed, codec);
     }},
    {"DecryptEnvelope",
     [](World& w) {
         EnvelopeCodec codec;
         codec.BindKey(w.key);
         std::int32_t length = -1;
         const Buffer opened = codec.DecryptEnvelope(w.envelope.data(),
                                                     static_cast<std::int32_t>(w.envelope.size()), length);
         return Outcome{opened && SameBytes(opened, static_cast<std::size_t>(length), w.plain), !opened && codec.OutOfMemory()};
     }},
    // The block-length switch allocates a new schedule inside the decryption.
    {"DecryptEnvelopeOfAnotherBlockLength",
     [](World& w) {
         EnvelopeCodec codec;
         codec.BindKey(w.key);
         std::int32_t length = -1;
         const Buffer opened = codec.DecryptEnvelope(
             w.foreignEnvelope.data(), static_cast<std::int32_t>(w.foreignEnvelope.size()), length);
         return Outcome{opened && length == static_cast<std::int32_t>(w.plain.size()) && w.key.Nb() == 8,
                        !opened && codec.OutOfMemory()};
     }},
    {"EncryptText",
     [](World& w) {
         const EncryptTextResult result = EncryptText("some plain text", w.key, FORM_HTML_COMMENT);
         return Outcome{result.outcome == EncryptTextOutcome::Encrypted && result.text,
                        result.outcome == EncryptTextOutcome::OutOfMemory && !result.text};
     }},
    {"DecryptText",
     [](World& w) {
         const DecryptTextResult result = DecryptText(w.marked.c_str(), w.key);
         return Outcome{result.outcome == DecryptTextOutcome::Decrypted &&
                            std::strcmp(reinterpret_cast<const char*>(result.plaintext.data()),
                                        "the marked plaintext") == 0,
                        result.outcome == DecryptTextOutcome::OutOfMemory && !result.plaintext};
     }},
    {"Base64Encode",
     [](World& w) {
         const Buffer encoded = Base64Encode(w.plain.data(), static_cast<std::uint32_t>(w.plain.size()), 72);
         return Outcome{encoded && encoded.size() == w.base64.size(), !encoded};
     }},
    {"Base64Decode",
     [](World& w) {
         const Buffer decoded = Base64Decode(w.base64.c_str());
         return Outcome{decoded && SameBytes(decoded, decoded.size(), w.plain), !decoded};
     }},
};

// With no failure injected: the key still encrypts, a fresh key of its text
// reads the result, and its bytes are the ones its text gives. Problems are
// returned rather than asserted, since a recorded failure allocates and would
// blur the leak count.
const char* KeyProblem(World& w, const Scenario& scenario)
{
    const bool replacing = std::strcmp(scenario.name, "SetKeyText") == 0;
    if (!w.key.HasKeyBytes()) {
        // Only SetKeyText may leave the key empty, and it must then take a key again.
        if (!replacing)
            return "the key lost its bytes";
        w.key.SetKeyText(w.keyText);
    }
    // A new key text has no schedule until it is built; any other key keeps one.
    if (!w.key.HasSchedule()) {
        if (!replacing)
            return "the key lost its schedule";
        if (w.key.BuildSchedule(6) != STATUS_OK)
            return "the replaced key cannot be scheduled";
    }
    RijndaelKey fresh;
    fresh.SetKeyText(w.keyText);
    if (fresh.Nk() != w.key.Nk() ||
        std::memcmp(fresh.KeyBytes(), w.key.KeyBytes(), 4 * static_cast<std::size_t>(fresh.Nk())) != 0)
        return "the key bytes changed";

    const Bytes sealed = Seal(w.key, w.plain);
    if (sealed.empty())
        return "the key no longer encrypts";
    EnvelopeCodec codec;
    codec.BindKey(fresh);
    std::int32_t length = -1;
    const Buffer opened = codec.DecryptEnvelope(sealed.data(), static_cast<std::int32_t>(sealed.size()), length);
    if (!opened || Bytes(opened.begin(), opened.begin() + length) != w.plain)
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
        Outcome outcome{};
        const char* problem = nullptr;
        {
            World world;
            allocationsUntilFailure = failAt;
            outcome = scenario.run(world);
            completed = allocationsUntilFailure > 0;  // the call needed fewer allocations than failAt
            allocationsUntilFailure = -1;
            problem = KeyProblem(world, scenario);
        }
        EXPECT_EQ(before, liveAllocations) << scenario.name << " leaked at allocation " << failAt;
        EXPECT_TRUE(outcome.succeeded != outcome.outOfMemory)
            << scenario.name << " at allocation " << failAt << ": neither its result nor its failure";
        if (completed) {
            EXPECT_TRUE(outcome.succeeded) << scenario.name;
        }
        EXPECT_EQ(nullptr, problem) << scenario.name << " at allocation " << failAt << ": " << problem;
    }
    EXPECT_TRUE(completed) << "more than 50 allocations in one call";
}

}  // namespace
}  // namespace zarnocrypt
