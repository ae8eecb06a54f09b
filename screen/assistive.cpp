// assistive.cpp -- what a screen reader is told: the game's words, the board's cell names and
// the choices of the current wait, handed to the platform (platform.h, acc_).
#include "platform/platform.h"
#include "screen/screen_state.h"

namespace {

constexpr int32_t COLUMNS = 7, HEIGHTS = 6;        // the board's cells
constexpr const char* AGAIN_WORDS = " (nog eens)"; // makes a repeated text new to a screen reader

} // namespace

// A screen reader says nothing for a text equal to the one before it (it takes it for the same
// message arriving twice), so the game's "Geen rij" after "Geen rij" would go unheard. The words
// added make it new; the next repetition, compared with that, goes out as it is.
void announce(const char* text) {
    if (text == nullptr || *text == '\0') return;
    if (screen.last_announcement == text)
        screen.last_announcement += AGAIN_WORDS;
    else
        screen.last_announcement = text;
    acc_announce(screen.last_announcement.c_str());
}

void name_cell(int32_t column, int32_t height, const char* name) {
    if (column < 1 || column > COLUMNS || height < 1 || height > HEIGHTS) {
        set_error(ERROR_BAD_ARGUMENT);
        return;
    }
    acc_name_cell(column, height, name);
}

void offer_choices(const Choice* choices, int32_t count) {
    acc_offer_choices(choices, choices != nullptr && count > 0 ? count : 0);
}
