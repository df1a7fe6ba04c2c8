// The installer's own DEFLATE decoder, run natively. bookpack verifies every
// payload entry with it, and the host tests and benchmark drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes one raw DEFLATE stream of `size` bytes into `out` (replaced) and
// returns the decoder's result: 0 success, 1 bad or truncated data, 2 an
// over-subscribed code, 3 a table allocation failed.
int decodeRawDeflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
