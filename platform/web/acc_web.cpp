// acc_web.cpp -- what a screen reader is told, handed to the page script (page.js), which keeps a
// live log of the game's words, the board as a grid of named cells and a button for each choice;
// a button pressed makes its choice through the facility (make_offered_choice_locked).
#include <emscripten.h>

#include <mutex>

#include "platform/platform.h"
#include "screen/screen_state.h"

namespace {

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

void acc_offer_choices(const Choice* choices, int32_t count) {
    for (int32_t i = 0; i < count; ++i) page_offer(i, choices[i].name, choices[i].touch_key);
    page_offered(count);
}

// A button pressed: 1 when its choice was made now (the game must wake).
extern "C" EMSCRIPTEN_KEEPALIVE int32_t web_choose(int32_t index) {
    std::lock_guard<std::mutex> hold(screen.lock);
    return make_offered_choice_locked(index) ? 1 : 0;
}
