// acc_null.cpp -- the screen reader's procedures for the desktop windows, which reach none: the
// game's words, cell names and choices go nowhere there. The page is the accessible version.
#include "platform/platform.h"

void acc_announce(const char* /*text*/) {}

void acc_name_cell(int32_t /*column*/, int32_t /*height*/, const char* /*name*/) {}

void acc_offer_choices(const Choice* /*choices*/, int32_t /*count*/) {}
