// allocation_test.cpp -- the rules never touch the heap: whole games under a counting allocator.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "rules/evaluate.h"
#include "rules/win.h"
#include "screen/screen.h"
#include "tests/rules/fixtures.h"

// The replacements below pair malloc with free themselves; g++ cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> allocations{0}; // every operator new in this test program
} // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

TEST(NoAllocation, CountingAllocatorSeesOrdinaryAllocations) {
    long before = allocations.load();
    {
        std::vector<int> numbers(100);
        std::string text(100, 'x');
        EXPECT_EQ(numbers.size() + text.size(), 200u);
    }
    EXPECT_GE(allocations.load() - before, 2) << "the counter itself works";
}

TEST(NoAllocation, WholeGamesOfEveryStyleAllocateNothing) {
    std::mt19937 rng(99);
    seed_random(3, 0);
    long before = allocations.load();
    int32_t moves = 0;
    for (int32_t g = 0; g < 40; ++g) {
        game.tactic = g % 4;
        load_tactic_weights();
        start_game();
        int32_t mover = g % 2 ? COMPUTER : HUMAN;
        while (game.move_count < 42) {
            int32_t column = mover == COMPUTER ? choose_computer_column() : static_cast<int32_t>(rng() % 7) + 1;
            if (!play_column(column, mover)) continue;
            ++moves;
            game.test_player = mover;
            has_four();
            if (game.win_found == 1) break;
            mover = -mover;
        }
    }
    long used = allocations.load() - before;
    EXPECT_GT(moves, 400);
    EXPECT_EQ(used, 0) << "heap allocations during " << moves << " moves";
}

} // namespace
