// EncryptBytes and DecryptBytes as one table: how the host holds the array, and
// the outcome each way. Bytes encrypt to EncryptEx's envelope of them, which,
// held the same way, decrypts back; what cannot be encrypted cannot be decrypted
// either. Each call runs again with every allocation failing in turn.
#include <climits>
#include <map>

#include "com_support.h"
#include "crypt_byte_array.h"
#include "key_text.h"

namespace zarnocrypt::test {
namespace {

constexpr HRESULT NO_KEY = 0x80040197, NOT_DECRYPTED = 0x80040198, NOT_ENCRYPTED = 0x80040199,
                  NOT_BYTES = 0x8004019C;

enum Shape { Byte, LowerBound5, TopLowerBound, SignedBytes, ByRef, ScriptByteArray, Shorts, ScriptArray, Doubles,
             Numerals, Mislabelled, Text, TwoDimensions, Nothing, NullArray, HugeCount, Truncated };
// decrypted: decrypting their envelope, or the values themselves when there is none.
struct Row { Shape shape; std::vector<double> values; HRESULT encrypted, decrypted; };

const Row ROWS[] = {
    {Byte, {'a', 'b', 'c', 0}, S_OK, S_OK},
    {LowerBound5, {0, 255, 128}, S_OK, S_OK},
    {TopLowerBound, {1, 2}, S_OK, S_OK},  // the upper bound wraps; the count does not
    {SignedBytes, {0x80, 0x7F, 0xFF}, S_OK, S_OK},
    {ByRef, {9, 8, 7}, S_OK, S_OK},
    {ScriptByteArray, {200, 100}, S_OK, S_OK},
    {Shorts, {0, 255, 65}, S_OK, S_OK},
    {ScriptArray, {1, 254}, S_OK, S_OK},
    {Doubles, {2, 255}, S_OK, S_OK},
    {Byte, {}, S_OK, S_OK},         // an empty message: 32 bytes, and back to no elements
    {ScriptArray, {}, S_OK, S_OK},  // VBScript's Array()
    {ScriptArray, {1, 256}, NOT_BYTES, NOT_BYTES}, {Shorts, {-1}, NOT_BYTES, NOT_BYTES},
    {Doubles, {1.5}, NOT_BYTES, NOT_BYTES}, {Numerals, {65}, NOT_BYTES, NOT_BYTES},
    {Mislabelled, {1, 2, 3}, NOT_BYTES, NOT_BYTES},  // bytes in a variant that calls them variants
    {Text, {}, NOT_BYTES, NOT_BYTES}, {TwoDimensions, {}, NOT_BYTES, NOT_BYTES},
    {Nothing, {}, NOT_BYTES, NOT_BYTES}, {NullArray, {}, NOT_BYTES, NOT_BYTES},
    {HugeCount, {}, NOT_ENCRYPTED, NOT_DECRYPTED},
    {Truncated, {1, 2, 3}, S_OK, NOT_DECRYPTED},
    {Text, {}, NO_KEY, NO_KEY},  // the key is missing in this row only, and that comes first
};

const std::map<HRESULT, std::wstring> PUBLISHED = {
    {S_OK, L""}, {NO_KEY, L"Zarnocrypt.Crypter|Key has not been set."},
    {NOT_DECRYPTED, L"Zarnocrypt.Crypter|Cannot decrypt data."}, {NOT_ENCRYPTED, L"Zarnocrypt.Crypter|Cannot encrypt data."},
    {NOT_BYTES, L"Zarnocrypt.Crypter|Input must be an array of bytes."}};

// What EncryptEx makes of the bytes; of none, which it refuses, what EncryptBytes makes.
Bytes EnvelopeOf(RijndaelKey& key, const Bytes& plain)
{
    Variant in, out;
    MakeByteArray(&in, plain, 0, plain.empty() ? VT_UI1 : VT_I1);
    EXPECT_EQ(S_OK, plain.empty() ? CryptBytesVariant({key}, CryptDirection::Encrypt, in, &out)
                                  : CryptByteArray(key, CryptDirection::Encrypt, in, &out));
    return ReadByteArray(out, out.vt & VT_TYPEMASK);
}

void MakeVariants(VARIANT* target, const std::vector<double>& values, VARTYPE type)
{
    SAFEARRAYBOUND bound{ULONG(values.size()), 0};
    target->parray = SafeArrayCreate(VT_VARIANT, 1, &bound);
    target->vt = VT_ARRAY | VT_VARIANT;
    for (ULONG i = 0; i < bound.cElements; ++i) {
        VARIANT& element = static_cast<VARIANT*>(target->parray->pvData)[i];
        element.vt = VT_R8, element.dblVal = values[i];
        ASSERT_EQ(S_OK, VariantChangeType(&element, &element, 0, type));
    }
}

// The values in the row's shape; inner is what a reference points at.
void Hold(Shape shape, const std::vector<double>& values, Variant& value, Variant& inner)
{
    const auto bytes = [&values] { return Bytes(values.begin(), values.end()); };  // byte shapes hold bytes only
    SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
    switch (shape) {
    case Byte: case Truncated: MakeByteArray(&value, bytes(), 0, VT_UI1); break;
    case LowerBound5: MakeByteArray(&value, bytes(), 5, VT_UI1); break;
    case TopLowerBound: MakeByteArray(&value, bytes(), LONG_MAX, VT_UI1); break;
    case SignedBytes: MakeByteArray(&value, bytes()); break;
    case ByRef: MakeByteArray(&inner, bytes(), 0, VT_UI1), value.vt = VT_BYREF | inner.vt, value.pparray = &inner.parray; break;
    case ScriptByteArray: MakeByteArray(&inner, bytes(), 0, VT_UI1), value.vt = VT_BYREF | VT_VARIANT, value.pvarVal = &inner; break;
    case Shorts: MakeVariants(&value, values, VT_I2); break;
    case ScriptArray: MakeVariants(&inner, values, VT_I4), value.vt = VT_BYREF | VT_VARIANT, value.pvarVal = &inner; break;
    case Doubles: MakeVariants(&value, values, VT_R8); break;
    case Numerals: MakeVariants(&value, values, VT_BSTR); break;
    case Mislabelled: MakeByteArray(&value, bytes(), 0, VT_UI1), value.vt = VT_ARRAY | VT_VARIANT; break;
    case Text: value.vt = VT_BSTR, value.bstrVal = SysAllocString(L"abc"); break;
    case TwoDimensions: value.vt = VT_ARRAY | VT_UI1, value.parray = SafeArrayCreate(VT_UI1, 2, square); break;
    case Nothing: break;
    case NullArray: value.vt = VT_ARRAY | VT_UI1; break;
    case HugeCount:  // the elements are never read
        ASSERT_EQ(S_OK, SafeArrayAllocDescriptorEx(VT_UI1, 1, &value.parray));
        value.vt = VT_ARRAY | VT_UI1, value.parray->rgsabound[0] = {0x80000000u, 0};
    }
}

// The call, then again with the failAt-th allocation and every later one
// failing, for each failAt that the call reaches.
void Calls(RijndaelKey& key, CryptDirection direction, Shape shape, const std::vector<double>& values,
           HRESULT expected, const Bytes& bytes)
{
    for (long failAt = -1; failAt < 100; ++failAt) {
        Variant input, inner, result;
        Hold(shape, values, input, inner);
        result.vt = VT_I4;
        SetErrorInfo(0, nullptr);  // whatever an earlier test left
        const auto before = LiveCounts();
        FailAllocationsFrom(failAt);
        const HRESULT outcome = CryptBytesVariant({key}, direction, input, &result);
        const bool reached = FailAllocationsFrom(-1) <= 0;
        const bool ranOut = failAt >= 0 && outcome == E_OUTOFMEMORY;
        EXPECT_EQ(ranOut ? E_OUTOFMEMORY : expected, outcome);
        EXPECT_EQ(ranOut ? L"" : PUBLISHED.at(outcome), TakeErrorRecord());
        if (outcome == S_OK)
            EXPECT_EQ(bytes, ReadByteArray(result, VT_UI1));
        else
            EXPECT_EQ(VT_I4, result.vt) << "result touched";
        VariantClear(&result);
        EXPECT_EQ(before, LiveCounts()) << "{safe arrays, heap blocks} left alive";
        if (!reached)
            return;
    }
}

TEST(Bytes, EveryRowBothWaysAndEveryAllocationFailing)
{
    for (const Row& row : ROWS) {
        SCOPED_TRACE("row " + std::to_string(&row - ROWS));
        RijndaelKey key;
        EXPECT_EQ(Status::Ok, LoadKeyText(key, "correct horse battery", row.encrypted == NO_KEY ? 0 : 21));
        const bool sealed = row.encrypted == S_OK;
        const Bytes plain = sealed ? Bytes(row.values.begin(), row.values.end()) : Bytes{};
        const Bytes envelope = sealed ? EnvelopeOf(key, plain) : Bytes{};
        EXPECT_TRUE(!sealed || !plain.empty() || envelope.size() == 32);
        const auto opened = sealed ? std::vector<double>(envelope.begin(), envelope.end() - (row.shape == Truncated))
                                   : row.values;
        Calls(key, CryptDirection::Encrypt, row.shape, row.values, row.encrypted, envelope);
        Calls(key, CryptDirection::Decrypt, row.shape, opened, row.decrypted, plain);
    }
}

// Sealed: a new message each time, which opens to the bytes; envelopes are
// read too. A changed byte, another key text or a legacy reader gives nothing.
TEST(Bytes, SealedMessages)
{
    RijndaelKey key;
    ASSERT_EQ(Status::Ok, LoadKeyText(key, "correct horse battery", 21));
    const auto bytesOf = [](std::string_view text) {
        return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    const MessageKeys sealed{key, true, bytesOf("correct horse battery")}, stranger{key, true, bytesOf("another")};
    const auto call = [](const MessageKeys& keys, CryptDirection direction, const Bytes& bytes) {
        Variant in, result;
        MakeByteArray(&in, bytes, 0, VT_UI1);
        const HRESULT outcome = CryptBytesVariant(keys, direction, in, &result);
        EXPECT_EQ(PUBLISHED.at(outcome), TakeErrorRecord());
        return std::pair(outcome, outcome == S_OK ? ReadByteArray(result, VT_UI1) : Bytes{});
    };
    const Bytes plain{0, 'a', 0xFF};
    const Bytes message = call(sealed, CryptDirection::Encrypt, plain).second;
    EXPECT_NE(message, call(sealed, CryptDirection::Encrypt, plain).second);
    EXPECT_EQ(std::pair(S_OK, plain), call(sealed, CryptDirection::Decrypt, message));
    EXPECT_EQ(std::pair(S_OK, plain), call(sealed, CryptDirection::Decrypt, EnvelopeOf(key, plain)));
    Bytes changed = message;
    changed[50] ^= 1;
    for (const auto& [reader, bytes] : {std::pair(stranger, message), {MessageKeys{key}, message}, {sealed, changed}})
        EXPECT_EQ(NOT_DECRYPTED, call(reader, CryptDirection::Decrypt, bytes).first);
}

}  // namespace
}  // namespace zarnocrypt::test
