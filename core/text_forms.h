// The marked text forms of encrypted strings:
//
//   "[ZQV]" "X" LF ["<!--"] [LF] Base64(envelope) [LF] ["-->"] "[/ZQV]"
//
// with the comment under FORM_HTML_COMMENT and the line feeds (and lines of
// 72 characters) under FORM_LINE_BREAKS. Narrow text in the ANSI code page.
#pragma once

#include <cstdint>

#include "buffer.h"
#include "code_page.h"
#include "rijndael_key.h"

namespace zarnocrypt {

inline constexpr std::uint32_t FORM_HTML_COMMENT = 0x01;
inline constexpr std::uint32_t FORM_LINE_BREAKS = 0x20;
inline constexpr std::uint32_t FORM_LINE_LENGTH = 72;
inline constexpr char START_MARKER[] = "[ZQV]";
inline constexpr char END_MARKER[] = "[/ZQV]";
inline constexpr char TYPE_LETTER = 'X';

enum class EncryptTextOutcome { Encrypted, AlreadyMarked, Failed, OutOfMemory };

struct EncryptTextResult {
    EncryptTextOutcome outcome;
    Buffer text;  // Encrypted: the marked text, size() characters then a NUL
};

// The caller has checked that the key is set. The text is encrypted with its
// terminating NUL, unless it is already marked.
EncryptTextResult EncryptText(const char* text, RijndaelKey& key, std::uint32_t options,
                              const CodePage& codePage = AnsiCodePage()) noexcept;

enum class DecryptTextOutcome { Decrypted, NotMarked, Damaged, NoKey, Failed, OutOfMemory };

struct DecryptTextResult {
    DecryptTextOutcome outcome;
    Buffer plaintext;         // Decrypted: L bytes, then the magic
    std::int32_t length = 0;  // Decrypted: L, the envelope's plaintext length
};

// Outcomes are tested in the order NotMarked, Damaged, NoKey, Failed;
// OutOfMemory may end any step that allocates.
// A null text is NotMarked.
DecryptTextResult DecryptText(const char* text, RijndaelKey& key) noexcept;

}  // namespace zarnocrypt
