// acc_web.cpp -- what a screen reader is told, handed to the page script (page.js), which keeps a
// live log of the game's words, the board as a grid of named cells and a button for each choice.
//
// A button's choice is made here, from the page script's web_choose: a key is queued as if typed;
// a click presses the left button on the choice's pixel and lets go once the game withdraws the
// offer, which it does as soon as it has taken the input (the game sees a held button only when
// it looks, so a press and release in one go would be missed). A button pressed while the game is
// busy (a disc, a tone) makes its choice once the game offers it again, as a key typed meanwhile
// is read then.
#include <emscripten.h>

#include <mutex>

#include "platform/platform.h"
#include "screen/screen_state.h"

namespace {

// What makes a choice: a click on a frame pixel, or a key.
struct ChoiceInput {
    int32_t x, y, key;
    bool operator==(const ChoiceInput&) const = default;
};

constexpr int32_t MOST_CHOICES = 8;
ChoiceInput offered[MOST_CHOICES]; // the choices of the game's current wait, the page's buttons in order
int32_t offered_count = 0;         // 0 while the game is busy
int32_t shown_count = 0;           // the page's buttons: the latest choices offered
bool choice_held = false;          // a button's click holds the left button down
bool pending = false;              // a button was pressed while the game was busy:
ChoiceInput pending_input;         // its choice is made once offered again

// clang-format off
EM_JS(void, page_say, (const char* text), { Module.page.say(UTF8ToString(text)); });
EM_JS(void, page_name_cell, (int32_t column, int32_t height, const char* name), {
    Module.page.nameCell(column, height, UTF8ToString(name));
});
EM_JS(void, page_offer, (int32_t index, const char* name, int32_t touch_key), {
    Module.page.offer(index, UTF8ToString(name), touch_key !== 0);
});
EM_JS(void, page_offered, (int32_t count), { Module.page.offered(count); });
// clang-format on

} // namespace

void acc_announce(const char* text) {
    page_say(text);
}

void acc_name_cell(int32_t column, int32_t height, const char* name) {
    page_name_cell(column, height, name);
}

namespace {

// Gives the input of a choice: its key, or a press of the left button on its pixel.
void make_choice(const ChoiceInput& choice) {
    std::lock_guard<std::mutex> hold(screen.lock);
    if (choice.key != 0) {
        queue_key_locked(choice.key);
        return;
    }
    set_window_active_locked(true);
    set_pointer_inside_locked(true);
    set_mouse_position_locked(choice.x, choice.y);
    set_mouse_button_locked(0, true);
    choice_held = true;
}

} // namespace

void acc_offer_choices(const Choice* choices, int32_t count) {
    offered_count = count < MOST_CHOICES ? count : MOST_CHOICES;
    for (int32_t i = 0; i < offered_count; ++i) {
        offered[i] = {choices[i].x, choices[i].y, choices[i].key};
        page_offer(i, choices[i].name, choices[i].touch_key);
    }
    page_offered(offered_count);
    if (offered_count > 0) {
        shown_count = offered_count;
        for (int32_t i = 0; pending && i < offered_count; ++i)
            if (offered[i] == pending_input) make_choice(offered[i]);
        pending = false;
    } else if (choice_held) {
        std::lock_guard<std::mutex> hold(screen.lock);
        choice_held = false;
        set_mouse_button_locked(0, false);
    }
}

extern "C" EMSCRIPTEN_KEEPALIVE int32_t web_choose(int32_t index) {
    if (index < 0 || index >= shown_count || choice_held) return 0;
    if (offered_count == 0) {
        pending = true;
        pending_input = offered[index];
        return 0;
    }
    make_choice(offered[index]);
    return 1;
}
