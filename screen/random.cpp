// random.cpp -- the game's one random generator (a 32-bit permuted congruential generator).
//
// Replayable on purpose: the same seed gives the same sequence, so tests seed it with a constant
// and a whole game replays. Nothing else in the program draws random numbers.
#include <cstring>

#include "screen/screen.h"

namespace {

uint64_t state = 0x853c49e6748fea9bULL;               // the generator's position in its sequence
constexpr uint64_t INCREMENT = 0xda3e39cb94b95bdbULL; // odd: selects the sequence

// Advances the generator and returns its next 32-bit output.
uint32_t next_u32() {
    uint64_t old = state;
    state = old * 6364136223846793005ULL + INCREMENT;
    uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
    uint32_t rot = static_cast<uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

} // namespace

// Restarts the sequence from the seed's bits; the generator number is ignored (there is one).
void seed_random(double seed, int32_t /*generator*/) {
    uint64_t bits = 0;
    std::memcpy(&bits, &seed, sizeof bits);
    state = 0;
    next_u32();
    state += bits;
    next_u32();
}

// Returns the next number in [0, 1): a 32-bit output divided by 2^32, so never 1.0.
double random_number(double /*argument*/) {
    return next_u32() / 4294967296.0;
}
