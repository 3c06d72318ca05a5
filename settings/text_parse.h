// Number reading as the C runtime's atoi does it, without its undefined
// behaviour: values beyond int saturate, as the Microsoft runtime answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Leading blanks, an optional sign, then digits; anything else ends the
// number, and no digits give 0.
int ParseInt(std::string_view text);

// An unsigned 32-bit setting as files carry it: ParseInt's reading, except
// that a value above INT_MAX that fits 32 bits is taken as it stands, so
// that every value written as "%u" reads back unchanged.
std::uint32_t ParseSettingNumber(std::string_view text);

// Copies at most capacity - 1 bytes of text into buffer and clears the rest
// of the buffer.
void CopyTextSetting(char* buffer, std::size_t capacity, std::string_view text);
