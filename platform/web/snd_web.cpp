// snd_web.cpp -- tones through the page's Web Audio: the page script plays them, the game waits.
//
// The page script plays a sine of the pitch with the desktop's soft 4 ms edges once the browser
// lets the page make sound (after the first key or tap); before that, and without sound, the
// tone is silent. Either way the game yields for the tone's duration, as on the desktop.
#include <emscripten.h>

#include "platform/platform.h"
#include "platform/web/web.h"

namespace {
// clang-format off
EM_JS(void, page_tone, (int32_t frequency, int32_t duration), { Module.page.tone(frequency, duration); });
// clang-format on
} // namespace

void snd_tone(int32_t frequency, int32_t duration) {
    if (duration <= 0) return;
    show_changed_rows();
    page_tone(frequency, duration);
    const double end = sys_seconds() + duration / 1000.0;
    for (double now = sys_seconds(); now < end; now = sys_seconds())
        emscripten_sleep(static_cast<uint32_t>((end - now) * 1000.0 + 0.999));
}
