// The marked text forms of encrypted strings:
//
//   "[ZQV]" "X" LF ["<!--"] [LF] Base64(envelope) [LF] ["-->"] "[/ZQV]"
//
// with the comment under FORM_HTML_COMMENT and the line feeds (and lines of
// 72 characters) under FORM_LINE_BREAKS. Narrow text; the marked forms
// themselves are ASCII.
#pragma once

#include <cstddef>
#include <cstdint>

#include "buffer.h"
#include "code_page.h"
#include "rijndael_key.h"
#include "status.h"

namespace zarnocrypt {

inline constexpr std::uint32_t FORM_HTML_COMMENT = 0x01;
inline constexpr std::uint32_t FORM_LINE_BREAKS = 0x20;
inline constexpr std::uint32_t FORM_LINE_LENGTH = 72;
inline constexpr char START_MARKER[] = "[ZQV]";
inline constexpr char END_MARKER[] = "[/ZQV]";
inline constexpr char TYPE_LETTER = 'X';
inline constexpr std::size_t START_MARKER_SIZE = sizeof START_MARKER - 1;
inline constexpr std::size_t END_MARKER_SIZE = sizeof END_MARKER - 1;

// Encrypts the zero-terminated text together with its terminating NUL.
// AlreadyMarked (nothing made) when the text starts with the start marker
// and its first end marker on a character boundary of codePage is at its
// very end. Otherwise NoKey without a schedule, TooLarge, NoMemory, or Ok
// with marked: size() characters then a NUL. marked is set only on Ok.
Status EncryptText(const char* text, const RijndaelKey& key, std::uint32_t options,
                   const CodePage& codePage, Buffer& marked) noexcept;

// Decrypts the length bytes of text; they need no terminating NUL. Outcomes
// in the order they are tested: NotMarked (a null text too); Damaged (type
// letter, or a body of fewer than 8 bytes); NoKey without key bytes; then
// the failures of DecryptEnvelope. NoMemory may end any step that
// allocates. On Ok, plaintext.size() is the envelope's L; plaintext is set
// only on Ok.
Status DecryptText(const char* text, std::size_t length, RijndaelKey& key,
                   Buffer& plaintext) noexcept;

// Where a text's first end marker after the first five bytes starts, by a
// plain byte search; length when there is none. The text is marked when
// this is exactly length minus the end marker's size.
std::size_t FindEndMarker(const char* text, std::size_t length) noexcept;

}  // namespace zarnocrypt
