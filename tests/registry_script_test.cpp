// The registry script reader and planner, without a registry: the real
// component script must plan exactly the component's registry entries.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "registry_plan.h"
#include "registry_script.h"

namespace zarnocrypt {
namespace {

const ReplacementMap kReplacements = {
    {"CLSID", "{11111111-2222-3333-4444-555555555555}"},
    {"LIBID", "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"},
    // Quotes, a percent sign and braces in a path must not reach the grammar.
    {"MODULE", "C:\\It's 100% {mine}\\Zarnocrypt.dll"},
};

std::string Describe(const RegistryOp& op)
{
    std::string name = op.valueName.empty() ? "@" : "[" + op.valueName + "]";
    switch (op.kind) {
    case RegistryOpKind::DeleteTree: return "delete-tree " + op.keyPath;
    case RegistryOpKind::CreateKey: return "create " + op.keyPath;
    case RegistryOpKind::DeleteValue: return "delete-value " + op.keyPath + " " + name;
    case RegistryOpKind::SetValue:
        return "set " + op.keyPath + " " + name + " = " +
               (op.value.type == RegistryValueType::String ? "s '" + op.value.text + "'"
                                                           : "d " + std::to_string(op.value.number));
    }
    return "?";
}

std::vector<std::string> Plan(std::string_view text, RegistryMode mode,
                              const ReplacementMap& replacements = kReplacements)
{
    ParseResult parsed = ParseRegistryScript(text, replacements);
    EXPECT_EQ(parsed.error, ScriptError::None) << ScriptErrorText(parsed.error) << " at line " << parsed.line;
    std::vector<RegistryOp> ops;
    if (parsed.script) {
        EXPECT_TRUE(PlanRegistryUpdate(*parsed.script, mode, ops));
    }
    std::vector<std::string> described;
    for (const RegistryOp& op : ops) described.push_back(Describe(op));
    return described;
}

std::string ComponentScript()
{
    std::ifstream file(ZARNOCRYPT_RGS, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(ComponentScript, RegistersExactlyTheComponentEntries)
{
    const std::string clsid = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    const std::vector<std::string> expected = {
        "create Zarnocrypt.Crypter.1",
        "set Zarnocrypt.Crypter.1 @ = s 'Crypter Class'",
        "create Zarnocrypt.Crypter.1\\CLSID",
        "set Zarnocrypt.Crypter.1\\CLSID @ = s '{11111111-2222-3333-4444-555555555555}'",
        "create Zarnocrypt.Crypter",
        "set Zarnocrypt.Crypter @ = s 'Crypter Class'",
        "create Zarnocrypt.Crypter\\CLSID",
        "set Zarnocrypt.Crypter\\CLSID @ = s '{11111111-2222-3333-4444-555555555555}'",
        "create Zarnocrypt.Crypter\\CurVer",
        "set Zarnocrypt.Crypter\\CurVer @ = s 'Zarnocrypt.Crypter.1'",
        "create CLSID",
        "delete-tree " + clsid,
        "create " + clsid,
        "set " + clsid + " @ = s 'Crypter Class'",
        "create " + clsid + "\\ProgID",
        "set " + clsid + "\\ProgID @ = s 'Zarnocrypt.Crypter.1'",
        "create " + clsid + "\\VersionIndependentProgID",
        "set " + clsid + "\\VersionIndependentProgID @ = s 'Zarnocrypt.Crypter'",
        "delete-tree " + clsid + "\\Programmable",
        "create " + clsid + "\\Programmable",
        "create " + clsid + "\\InprocServer32",
        "set " + clsid + "\\InprocServer32 @ = s 'C:\\It's 100% {mine}\\Zarnocrypt.dll'",
        "set " + clsid + "\\InprocServer32 [ThreadingModel] = s 'Apartment'",
        "create " + clsid + "\\TypeLib",
        "set " + clsid + "\\TypeLib @ = s '{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}'",
    };
    EXPECT_EQ(Plan(ComponentScript(), RegistryMode::Register), expected);
}

TEST(ComponentScript, UnregistersDeepestFirstAndKeepsClsid)
{
    const std::string clsid = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    const std::vector<std::string> expected = {
        "delete-tree Zarnocrypt.Crypter.1\\CLSID",
        "delete-tree Zarnocrypt.Crypter.1",
        "delete-tree Zarnocrypt.Crypter\\CLSID",
        "delete-tree Zarnocrypt.Crypter\\CurVer",
        "delete-tree Zarnocrypt.Crypter",
        "delete-tree " + clsid + "\\ProgID",
        "delete-tree " + clsid + "\\VersionIndependentProgID",
        "delete-tree " + clsid + "\\Programmable",
        "delete-value " + clsid + "\\InprocServer32 [ThreadingModel]",
        "delete-tree " + clsid + "\\InprocServer32",
        "delete-tree " + clsid + "\\TypeLib",
        "delete-tree " + clsid,
    };
    EXPECT_EQ(Plan(ComponentScript(), RegistryMode::Unregister), expected);
}

struct MalformedCase {
    const char* name;
    const char* text;
    ScriptError error;
};

class MalformedScript : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedScript, IsRefusedWithoutATree)
{
    ParseResult parsed = ParseRegistryScript(GetParam().text, kReplacements);
    EXPECT_EQ(parsed.error, GetParam().error) << ScriptErrorText(parsed.error);
    EXPECT_FALSE(parsed.script.has_value());
    EXPECT_GE(parsed.line, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedScript,
    testing::Values(
        MalformedCase{"Empty", " \r\n\t", ScriptError::MissingRoot},
        MalformedCase{"UnknownRoot", "HKLM { A }", ScriptError::UnknownRoot},
        MalformedCase{"RootWithoutBlock", "HKCR A", ScriptError::UnexpectedToken},
        MalformedCase{"MissingClose", "HKCR { A { B }", ScriptError::UnbalancedBraces},
        MalformedCase{"ExtraClose", "HKCR { A } }", ScriptError::UnbalancedBraces},
        MalformedCase{"SecondRoot", "HKCR { A } HKCR { B }", ScriptError::UnexpectedToken},
        MalformedCase{"FlagsWithoutName", "HKCR { ForceRemove }", ScriptError::UnexpectedToken},
        MalformedCase{"ValueAtRoot", "HKCR { val X = s 'y' }", ScriptError::UnexpectedToken},
        MalformedCase{"NoTypeAfterEquals", "HKCR { A = }", ScriptError::MissingValue},
        MalformedCase{"NoDataAfterType", "HKCR { A = s }", ScriptError::MissingValue},
        MalformedCase{"NoDataAtEnd", "HKCR { A = s", ScriptError::MissingValue},
        MalformedCase{"NamedWithoutEquals", "HKCR { A { val X } }", ScriptError::MissingValue},
        MalformedCase{"BinaryType", "HKCR { A = b '00' }", ScriptError::UnknownValueType},
        MalformedCase{"QuotedType", "HKCR { A = 's' 'x' }", ScriptError::UnknownValueType},
        MalformedCase{"DwordText", "HKCR { A = d 'ten' }", ScriptError::InvalidNumber},
        MalformedCase{"DwordOverflow", "HKCR { A = d '4294967296' }", ScriptError::InvalidNumber},
        MalformedCase{"DwordNegative", "HKCR { A = d '-1' }", ScriptError::InvalidNumber},
        MalformedCase{"UnterminatedString", "HKCR { A = s 'abc }", ScriptError::UnterminatedString},
        MalformedCase{"UnknownVariable", "HKCR { A = s '%APPID%' }", ScriptError::UnknownVariable},
        MalformedCase{"UnknownVariableInName", "HKCR { %APPID% }", ScriptError::UnknownVariable},
        MalformedCase{"UnterminatedVariable", "HKCR { A = s '%MODULE' }", ScriptError::UnterminatedVariable},
        MalformedCase{"EmptyKeyName", "HKCR { '' }", ScriptError::InvalidKeyName},
        MalformedCase{"BackslashInName", "HKCR { 'A\\B' }", ScriptError::InvalidKeyName},
        MalformedCase{"BothMarkers", "HKCR { ForceRemove NoRemove A }", ScriptError::ConflictingFlags},
        MalformedCase{"DeleteWithValue", "HKCR { Delete A = s 'x' }", ScriptError::ConflictingFlags}),
    [](const testing::TestParamInfo<MalformedCase>& param) { return std::string(param.param.name); });

TEST(MalformedInput, NulByteAndDepthAreRefused)
{
    using namespace std::string_literals;
    EXPECT_EQ(ParseRegistryScript("HKCR { A\0B }"s, {}).error, ScriptError::InvalidCharacter);
    EXPECT_EQ(ParseRegistryScript("HKCR { 'A\0B' }"s, {}).error, ScriptError::InvalidCharacter);

    std::string deep = "HKCR {";
    for (std::size_t i = 0; i <= MAX_KEY_DEPTH; ++i) deep += " A {";
    for (std::size_t i = 0; i <= MAX_KEY_DEPTH + 1; ++i) deep += " }";
    ParseResult parsed = ParseRegistryScript(deep, {});
    EXPECT_EQ(parsed.error, ScriptError::TooDeep);
    EXPECT_FALSE(parsed.script.has_value());
}

TEST(ScriptText, ErrorLineIsReported)
{
    ParseResult parsed = ParseRegistryScript("HKCR\n{\n  A = s 'x'\n  B = q 'y'\n}\n", {});
    EXPECT_EQ(parsed.error, ScriptError::UnknownValueType);
    EXPECT_EQ(parsed.line, 4u);
}

TEST(ScriptText, QuotesPercentsKeywordsAndNumbers)
{
    const char* text =
        "\xEF\xBB\xBFhkey_classes_root {\n"
        "  noremove 'It''s' = S '100%% ''%MODULE%'''\n"
        "  {\n"
        "    VAL Count = D '0x10'\n"
        "    val '' = d 7\n"
        "    'val' = s unquoted\n"
        "  }\n"
        "}\n";
    const std::vector<std::string> expected = {
        "create It's",
        "set It's @ = s '100% 'C:\\It's 100% {mine}\\Zarnocrypt.dll''",
        "set It's [Count] = d 16",
        "set It's @ = d 7",
        "create It's\\val",
        "set It's\\val @ = s 'unquoted'",
    };
    EXPECT_EQ(Plan(text, RegistryMode::Register), expected);
}

TEST(RegisterPlan, ForceRemoveAndDeleteComeBeforeCreation)
{
    const char* text = "HKCR { A { ForceRemove B = s 'b' { C } Delete D } }";
    const std::vector<std::string> expected = {
        "create A", "delete-tree A\\B", "create A\\B", "set A\\B @ = s 'b'",
        "create A\\B\\C", "delete-tree A\\D",
    };
    EXPECT_EQ(Plan(text, RegistryMode::Register), expected);
}

// A kept key must not go with a parent's subtree; ForceRemove overrides that.
TEST(UnregisterPlan, KeptKeysProtectTheirParentsUnlessForceRemove)
{
    const char* text =
        "HKCR {"
        "  A { NoRemove K { val V = s 'v' L } }"
        "  ForceRemove F { NoRemove G }"
        "  Delete D "
        "}";
    const std::vector<std::string> expected = {
        "delete-value A\\K [V]", "delete-tree A\\K\\L", "delete-tree F",
    };
    EXPECT_EQ(Plan(text, RegistryMode::Unregister), expected);
}

}  // namespace
}  // namespace zarnocrypt
