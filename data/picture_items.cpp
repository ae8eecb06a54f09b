// picture_items.cpp -- the picture text of the data table (placeholder until the encoder runs).
#include "data/data_table.h"

const char* const picture_items[] = {"EndeFini"};
const int32_t picture_item_count = 1;
