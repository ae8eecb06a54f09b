// data_table.cpp -- the direction list, the first list of the data table.
//
// Steps between slots of the padded board (rows of 13): up-left, left, down-left, down, then
// up-left once more, right and up-right. The fifth item really is 12 again: the evaluation counts
// a run up-left twice and never looks down-right, and the computer's play depends on it.
#include "data/data_table.h"

const char* const direction_items[DIRECTION_ITEM_COUNT] = {"12", "-1", "-14", "-13", "12", "1", "14"};
