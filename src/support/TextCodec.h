// Conversions between UTF-8, the program's text inside, and the encodings files arrive
// in: Windows-1252 (which files declared ISO-8859-1 mostly mean), Latin-1 and UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace support {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Appends the code point as UTF-8. A surrogate or a value above U+10FFFF (a character
// reference in a file, say) becomes U+FFFD, so the output is always valid UTF-8.
void AppendUtf8(std::string &out, char32_t cp);

// The code point of UTF-8 text at `i`, moving `i` past it. A malformed, overlong or cut-off
// sequence yields U+FFFD and moves one byte only, so decoding resumes at the next byte.
char32_t NextUtf8(std::string_view text, std::size_t &i);

// The text with every malformed sequence replaced by U+FFFD.
std::string CleanUtf8(std::string_view text);

// Windows-1252 for 0x80-0x9F, Latin-1 elsewhere. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as
// Windows does, so every byte survives a load and a save.
std::string Cp1252ToUtf8(std::string_view bytes);

// One byte per character; a character Windows-1252 lacks becomes `replacement`.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '?');

// What to do with a last byte that is only half of a UTF-16 unit.
enum class CutOffUnit { Replace, Drop };

// UTF-16 without its byte order mark. Surrogate pairs are joined; a lone surrogate becomes
// U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian,
                        CutOffUnit cutOff = CutOffUnit::Replace);

} // namespace support
