// The marked text forms of encrypted strings:
//
//   "[ZQV]" type LF ["<!--"] [LF] Base64(envelope) [LF] ["-->"] "[/ZQV]"
//
// with the comment under FORM_HTML_COMMENT and the line feeds (and lines of
// 72 characters) under FORM_LINE_BREAKS. The type letter says how the
// plaintext's bytes read as text: "X" in the writer's ANSI code page, "U" in
// UTF-8; "G" holds a sealed message instead of an envelope. Narrow text; the
// marked forms themselves are ASCII.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "buffer.h"
#include "code_page.h"
#include "envelope.h"
#include "rijndael_key.h"
#include "status.h"

namespace zarnocrypt {

inline constexpr std::uint32_t FORM_HTML_COMMENT = 0x01;
inline constexpr std::uint32_t FORM_LINE_BREAKS = 0x20;
inline constexpr std::uint32_t FORM_LINE_LENGTH = 72;
inline constexpr char START_MARKER[] = "[ZQV]";
inline constexpr char END_MARKER[] = "[/ZQV]";

enum class TextType : char { Ansi = 'X', Utf8 = 'U', Sealed = 'G' };
// Which type letters a reader takes; the others are damaged texts to it, as
// "U" is to every reader older than the type.
inline constexpr unsigned READ_ANSI = 0x1;
inline constexpr unsigned READ_UTF8 = 0x2;
inline constexpr unsigned READ_SEALED = 0x4;  // never for DecryptText: its body is no envelope
inline constexpr std::size_t START_MARKER_SIZE = sizeof START_MARKER - 1;
inline constexpr std::size_t END_MARKER_SIZE = sizeof END_MARKER - 1;

// Encrypts the zero-terminated text together with its terminating NUL and
// marks it with type. AlreadyMarked (nothing made) when the text starts with
// the start marker and its first end marker on a character boundary of
// codePage is at its very end; when strict, only when the key also decrypts
// it (tried on a copy of the key, whose schedule stays). Otherwise NoKey
// without a schedule, TooLarge, NoMemory, or Ok with marked: size()
// characters then a NUL. marked is set only on Ok.
Status EncryptText(const char* text, const RijndaelKey& key, std::uint32_t options,
                   const CodePage& codePage, Buffer& marked, TextType type = TextType::Ansi,
                   bool strict = false) noexcept;

// Decrypts the length bytes of text; they need no terminating NUL. Outcomes
// in the order they are tested: NotMarked (a null text too); Damaged (a type
// letter that readable lacks, or a body of fewer than 8 bytes); NoKey
// without key bytes; then the failures of DecryptEnvelope. NoMemory may end
// any step that allocates. On Ok, plaintext.size() is the envelope's L and
// *type (when given) the text's type; plaintext is set only on Ok.
Status DecryptText(const char* text, std::size_t length, RijndaelKey& key, Buffer& plaintext,
                   unsigned readable = READ_ANSI, TextType* type = nullptr) noexcept;

// A decrypted text's length: up to its first zero byte, as Decrypt returns it.
std::size_t TextLength(const Buffer& plaintext) noexcept;

// The text without the spaces, tabs, carriage returns and line feeds around it.
std::string_view TrimWhiteSpace(std::string_view text) noexcept;

// What a marked text holds, read without a key: Ok when it is of type X or U
// and its body decodes to a well-formed envelope (a valid header and the size
// that it asks for). Otherwise NotMarked, Damaged, BadHeader, Size or NoMemory.
Status ReadMarkedText(std::string_view text, TextType& type, EnvelopeHeader& header) noexcept;

// Base64 of size bytes marked with type in the layout of options. TooLarge
// when the text would not fit a 32-bit size, NoMemory; marked is set only on
// Ok, as size() characters then a NUL.
Status MarkBytes(const std::uint8_t* bytes, std::size_t size, std::uint32_t options, TextType type,
                 Buffer& marked) noexcept;

// The bytes inside a marked text of a type that readable takes. NotMarked (a
// null text too); Damaged for another type letter or a body of fewer than 8
// bytes; NoMemory. bytes and type hold the result only on Ok.
Status UnmarkBytes(const char* text, std::size_t length, unsigned readable, TextType& type, Buffer& bytes) noexcept;

// A text already marked, of any type: the start marker, and its first end
// marker at its very end. By a plain byte search, which is exact for UTF-8
// (no byte of a multibyte sequence is ASCII) and single-byte text.
bool IsMarkedUtf8(std::string_view text) noexcept;

// Where a text's first end marker after the first five bytes starts, by a
// plain byte search; length when there is none. The text is marked when
// this is exactly length minus the end marker's size.
std::size_t FindEndMarker(const char* text, std::size_t length) noexcept;

}  // namespace zarnocrypt
