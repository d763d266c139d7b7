// Recursive-descent reader of the registry script. Every failure stops the
// reader at once and leaves no tree behind.
#include "registry_script.h"

#include <charconv>
#include <new>
#include <utility>

namespace zarnocrypt {
namespace {

enum class TokenKind { End, Word, Quoted, Open, Close, Equals };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view raw;  // Quoted: between the quotes, '' not yet undone
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool IsKeyword(const Token& token, std::string_view keyword)
{
    return token.kind == TokenKind::Word && EqualsIgnoreCase(token.raw, keyword);
}

class Parser {
public:
    Parser(std::string_view text, const ReplacementMap& replacements)
        : text_(text), replacements_(replacements)
    {
        if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);  // editors' UTF-8 mark
    }

    bool ParseScript(RegistryScript& script)
    {
        Token root;
        if (!Next(root)) return false;
        if (root.kind == TokenKind::End) return Fail(ScriptError::MissingRoot);
        if (!IsKeyword(root, "HKCR") && !IsKeyword(root, "HKEY_CLASSES_ROOT"))
            return Fail(ScriptError::UnknownRoot);
        Token open;
        if (!Next(open)) return false;
        if (open.kind != TokenKind::Open) return Fail(ScriptError::UnexpectedToken);
        if (!ParseBlock(script.keys, nullptr, 1)) return false;
        Token end;
        if (!Next(end)) return false;
        if (end.kind == TokenKind::Close) return Fail(ScriptError::UnbalancedBraces);
        if (end.kind != TokenKind::End) return Fail(ScriptError::UnexpectedToken);
        return true;
    }

    ScriptError error() const { return error_; }
    std::size_t line() const { return line_; }

private:
    // The entries of one block up to its closing brace. Named values belong
    // to a key, so the root block (owner null) holds keys only.
    bool ParseBlock(std::vector<KeyNode>& keys, KeyNode* owner, std::size_t depth)
    {
        if (depth > MAX_KEY_DEPTH) return Fail(ScriptError::TooDeep);
        for (;;) {
            Token token;
            if (!Next(token)) return false;
            if (token.kind == TokenKind::Close) return true;
            if (token.kind == TokenKind::End) return Fail(ScriptError::UnbalancedBraces);
            if (IsKeyword(token, "val")) {
                if (owner == nullptr) return Fail(ScriptError::UnexpectedToken);
                if (!ParseNamedValue(*owner)) return false;
                continue;
            }
            keys.emplace_back();
            if (!ParseKey(token, keys.back(), depth)) return false;
        }
    }

    bool ParseKey(Token token, KeyNode& key, std::size_t depth)
    {
        for (;;) {
            if (IsKeyword(token, "ForceRemove")) key.forceRemove = true;
            else if (IsKeyword(token, "NoRemove")) key.noRemove = true;
            else if (IsKeyword(token, "Delete")) key.deleteKey = true;
            else break;
            if (!Next(token)) return false;
        }
        if (!ReadName(token, key.name)) return false;
        if (key.name.empty() || key.name.find('\\') != std::string::npos)
            return Fail(ScriptError::InvalidKeyName);
        if (int(key.forceRemove) + int(key.noRemove) + int(key.deleteKey) > 1)
            return Fail(ScriptError::ConflictingFlags);

        if (Peek().kind == TokenKind::Equals) {
            Skip();
            key.defaultValue.emplace();
            if (!ParseValue(*key.defaultValue)) return false;
        }
        if (Peek().kind == TokenKind::Open) {
            Skip();
            if (!ParseBlock(key.children, &key, depth + 1)) return false;
        }
        // A key that is only deleted carries nothing to write.
        if (key.deleteKey && (key.defaultValue || !key.values.empty() || !key.children.empty()))
            return Fail(ScriptError::ConflictingFlags);
        return true;
    }

    bool ParseNamedValue(KeyNode& key)
    {
        Token token;
        if (!Next(token)) return false;
        NamedValue& named = key.values.emplace_back();
        if (!ReadName(token, named.name)) return false;
        if (!Next(token)) return false;
        if (token.kind != TokenKind::Equals) return Fail(ScriptError::MissingValue);
        return ParseValue(named.value);
    }

    // "s 'text'" or "d 'number'"; the data may also stand unquoted.
    bool ParseValue(RegistryValue& value)
    {
        Token type;
        if (!Next(type)) return false;
        if (type.kind == TokenKind::Quoted) return Fail(ScriptError::UnknownValueType);
        if (type.kind != TokenKind::Word) return Fail(ScriptError::MissingValue);
        if (IsKeyword(type, "s")) value.type = RegistryValueType::String;
        else if (IsKeyword(type, "d")) value.type = RegistryValueType::Dword;
        else return Fail(ScriptError::UnknownValueType);

        Token data;
        if (!Next(data)) return false;
        if (data.kind != TokenKind::Word && data.kind != TokenKind::Quoted)
            return Fail(ScriptError::MissingValue);
        if (!Expand(data, value.text)) return false;
        if (value.type == RegistryValueType::Dword) {
            if (!ParseNumber(value.text, value.number)) return Fail(ScriptError::InvalidNumber);
            value.text.clear();
        }
        return true;
    }

    // Decimal, or hexadecimal after 0x; anything beyond 32 bits is refused.
    static bool ParseNumber(std::string_view text, std::uint32_t& number)
    {
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            text.remove_prefix(2);
            base = 16;
        }
        const char* end = text.data() + text.size();
        auto [stop, ec] = std::from_chars(text.data(), end, number, base);
        return !text.empty() && ec == std::errc() && stop == end;
    }

    bool ReadName(const Token& token, std::string& name)
    {
        if (token.kind == TokenKind::End) return Fail(ScriptError::UnbalancedBraces);
        if (token.kind != TokenKind::Word && token.kind != TokenKind::Quoted)
            return Fail(ScriptError::UnexpectedToken);
        return Expand(token, name);
    }

    // One pass, so neither '' nor %...% inside a replacement is looked at again.
    bool Expand(const Token& token, std::string& out)
    {
        out.clear();
        std::string_view raw = token.raw;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (token.kind == TokenKind::Quoted && raw[i] == '\'') {
                out += '\'';  // the lexer only lets doubled quotes through
                ++i;
            } else if (raw[i] == '%') {
                std::size_t close = raw.find('%', i + 1);
                if (close == std::string_view::npos) return Fail(ScriptError::UnterminatedVariable);
                std::string_view name = raw.substr(i + 1, close - i - 1);
                if (name.empty()) {
                    out += '%';
                } else {
                    auto found = replacements_.find(std::string(name));
                    if (found == replacements_.end()) return Fail(ScriptError::UnknownVariable);
                    out += found->second;
                }
                i = close;
            } else {
                out += raw[i];
            }
        }
        return true;
    }

    Token Peek()
    {
        if (!peeked_) {
            peeked_ = true;
            if (!Lex(peek_)) peek_ = Token{};  // the error is kept for Next
        }
        return peek_;
    }

    void Skip() { peeked_ = false; }

    bool Next(Token& token)
    {
        if (peeked_) {
            peeked_ = false;
            token = peek_;
            return error_ == ScriptError::None;
        }
        return Lex(token);
    }

    bool Lex(Token& token)
    {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            if (text_[pos_] == '\n') ++line_;
            ++pos_;
        }
        token = Token{};
        if (pos_ == text_.size()) return true;
        if (text_[pos_] == '\'') return LexQuoted(token);
        std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) {
            if (text_[pos_] == '\0') return Fail(ScriptError::InvalidCharacter);
            ++pos_;
        }
        token.raw = text_.substr(start, pos_ - start);
        token.kind = token.raw == "{" ? TokenKind::Open
                   : token.raw == "}" ? TokenKind::Close
                   : token.raw == "=" ? TokenKind::Equals
                                      : TokenKind::Word;
        return true;
    }

    bool LexQuoted(Token& token)
    {
        std::size_t start = ++pos_;
        for (; pos_ < text_.size(); ++pos_) {
            char c = text_[pos_];
            if (c == '\0') return Fail(ScriptError::InvalidCharacter);
            if (c == '\n') ++line_;
            if (c != '\'') continue;
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                ++pos_;
                continue;
            }
            token.kind = TokenKind::Quoted;
            token.raw = text_.substr(start, pos_ - start);
            ++pos_;
            return true;
        }
        return Fail(ScriptError::UnterminatedString);
    }

    bool Fail(ScriptError error)
    {
        if (error_ == ScriptError::None) error_ = error;
        return false;
    }

    std::string_view text_;
    const ReplacementMap& replacements_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    bool peeked_ = false;
    Token peek_;
    ScriptError error_ = ScriptError::None;
};

}  // namespace

ParseResult ParseRegistryScript(std::string_view text, const ReplacementMap& replacements) noexcept
{
    ParseResult result;
    try {
        Parser parser(text, replacements);
        RegistryScript script;
        if (parser.ParseScript(script)) {
            result.script.emplace(std::move(script));
        } else {
            result.error = parser.error();
            result.line = parser.line();
        }
    } catch (const std::bad_alloc&) {
        result = ParseResult{ScriptError::OutOfMemory, 0, std::nullopt};
    }
    return result;
}

const char* ScriptErrorText(ScriptError error) noexcept
{
    switch (error) {
    case ScriptError::None: return "no error";
    case ScriptError::OutOfMemory: return "out of memory";
    case ScriptError::MissingRoot: return "the script has no root key";
    case ScriptError::UnknownRoot: return "the root key is not HKCR";
    case ScriptError::UnexpectedToken: return "unexpected token";
    case ScriptError::UnbalancedBraces: return "unbalanced braces";
    case ScriptError::MissingValue: return "value missing after '='";
    case ScriptError::UnknownValueType: return "unknown value type";
    case ScriptError::InvalidNumber: return "not a 32-bit number";
    case ScriptError::UnterminatedString: return "unterminated quoted string";
    case ScriptError::UnknownVariable: return "unknown %variable%";
    case ScriptError::UnterminatedVariable: return "unterminated %variable%";
    case ScriptError::InvalidKeyName: return "empty key name or one with a backslash";
    case ScriptError::ConflictingFlags: return "conflicting key markers";
    case ScriptError::InvalidCharacter: return "NUL character in the script";
    case ScriptError::TooDeep: return "keys nested too deeply";
    }
    return "unknown error";
}

}  // namespace zarnocrypt
