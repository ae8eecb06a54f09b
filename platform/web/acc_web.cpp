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
#include <vector>

#include "platform/platform.h"
#include "screen/screen_state.h"

namespace {

std::vector<Choice> offered; // the choices of the game's current wait, empty while it is busy
std::vector<Choice> shown;   // the page's buttons in order: the latest choices offered
bool choice_held = false;    // a button's click holds the left button down
int32_t pending = -1;        // the button pressed while the game was busy, or -1
std::string pending_name;    // what that button said then

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

void acc_announce(const std::string& text) {
    page_say(text.c_str());
}

void acc_name_cell(int32_t column, int32_t height, const std::string& name) {
    page_name_cell(column, height, name.c_str());
}

namespace {

// Gives the input of an offered choice: its key, or a press of the left button on its pixel.
void make_choice(const Choice& choice) {
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
    offered.assign(choices, choices + count);
    if (count > 0) {
        shown = offered;
        for (int32_t i = 0; i < count; ++i) page_offer(i, choices[i].name.c_str(), choices[i].touch_key);
    }
    page_offered(count);
    if (count > 0) {
        const int32_t made = pending;
        pending = -1;
        if (made >= 0 && made < count && offered[static_cast<size_t>(made)].name == pending_name)
            make_choice(offered[static_cast<size_t>(made)]);
    } else if (choice_held) {
        std::lock_guard<std::mutex> hold(screen.lock);
        choice_held = false;
        set_mouse_button_locked(0, false);
    }
}

// Makes the choice of the button of that index. Returns 1 when input was given (the page then
// wakes the game), 0 when the game is busy, and the choice waits to be offered again, or when
// there is no such button or a click is still held.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t web_choose(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(shown.size()) || choice_held) return 0;
    if (offered.empty()) {
        pending = index;
        pending_name = shown[static_cast<size_t>(index)].name;
        return 0;
    }
    make_choice(offered[static_cast<size_t>(index)]);
    return 1;
}
