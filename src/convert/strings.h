// Building paths and messages in fixed buffers without the printf family,
// whose floating-point machinery would more than double the size of the
// executable.
#pragma once

#include <cstddef>
#include <initializer_list>

// Size of every name buffer. A name holds at most 255 UTF-16 units, and no
// unit takes more than two bytes of code page 932, before or after any
// conversion: 510 bytes of text and the terminator, and one to spare.
constexpr size_t NAME_BUFFER_SIZE = 512;
typedef char NameBuffer[NAME_BUFFER_SIZE];

// Concatenates parts into out (size bytes, terminator included). Returns
// false, leaving out empty, when the whole does not fit: a cut path could
// name another file.
bool JoinStrings(char* out, size_t size, std::initializer_list<const char*> parts);

// Enough for any 64-bit value in decimal, with its sign and terminator.
constexpr size_t DECIMAL_BUFFER_SIZE = 21;

// value in decimal, with '-' in front when negative, as "%lld" writes it.
void FormatDecimal(long long value, char* out);
