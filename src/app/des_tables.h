// FIPS 46-3 tables and the combined S-box/P-permutation lookup tables that
// the fast block function uses. Internal to the cipher module and its tests.
#pragma once

#include <array>
#include <cstdint>

namespace velto {
namespace des {

// Standard tables, 1-based bit numbers as FIPS 46-3 prints them.
extern const uint8_t kInitialPermutation[64];
extern const uint8_t kPermutedChoice1[56];
extern const uint8_t kPermutedChoice2[48];
extern const uint8_t kExpansion[48];
extern const uint8_t kPermutation[32];
extern const uint8_t kSBoxes[8][64];  // row-major: [box][row * 16 + column]
extern const uint8_t kKeyShifts[16];

// SP[i][v]: the P-permuted output of S-box i+1 for the 6 input bits v (first
// input bit most significant), rotated right by one bit, which is the form
// the round function keeps its halves in.
using SpTables = std::array<std::array<uint32_t, 64>, 8>;
const SpTables& Sp();

// The 16 round subkeys of FIPS 46-3, 48 bits each (bit 1 most significant).
std::array<uint64_t, 16> RoundSubkeys(const uint8_t key[8]);

// Slow bit-by-bit DES straight from the tables, as an independent check.
uint64_t ReferenceEncrypt(uint64_t block, const uint8_t key[8]);

}  // namespace des
}  // namespace velto
