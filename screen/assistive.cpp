// assistive.cpp -- what a screen reader is told: the game's words, the board's cell names and
// the choices of the current wait, handed to the platform (platform.h, acc_); and the input a
// screen reader's button for a choice gives, which the platform asks for (make_offered_choice_locked).
//
// A button's key is queued as if typed; its click presses the left button on the choice's pixel
// and lets go once the game withdraws the offer, which it does as soon as it has taken the input
// (the game sees a held button only when it looks, so a press and release in one go would be
// missed). A button pressed while the game is busy (a disc, a tone) makes its choice once the
// game offers it again, as a key typed meanwhile is read then.
#include <algorithm>
#include <mutex>

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

namespace {

// Gives the input of a choice: its key, or a press of the left button on its pixel.
void give_choice_locked(const ChoiceInput& choice) {
    if (choice.key != 0) {
        queue_key_locked(choice.key);
        return;
    }
    set_window_active_locked(true);
    set_pointer_inside_locked(true);
    set_mouse_position_locked(choice.x, choice.y);
    set_mouse_button_locked(0, true);
    screen.choice_held = true;
}

} // namespace

void offer_choices(const Choice* choices, int32_t count) {
    count = choices != nullptr && count > 0 ? std::min(count, MOST_CHOICES) : 0;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        screen.offered_count = count;
        for (int32_t i = 0; i < count; ++i) screen.offered[i] = {choices[i].x, choices[i].y, choices[i].key};
        if (count > 0) {
            screen.shown_count = count;
            for (int32_t i = 0; screen.choice_pending && i < count; ++i)
                if (screen.offered[i] == screen.pending_choice) give_choice_locked(screen.offered[i]);
            screen.choice_pending = false;
        } else if (screen.choice_held) {
            screen.choice_held = false;
            set_mouse_button_locked(0, false);
        }
    }
    acc_offer_choices(choices, count);
}

bool make_offered_choice_locked(int32_t index) {
    if (index < 0 || index >= screen.shown_count || screen.choice_held) return false;
    if (screen.offered_count == 0) {
        screen.choice_pending = true;
        screen.pending_choice = screen.offered[index];
        return false;
    }
    give_choice_locked(screen.offered[index]);
    return true;
}
