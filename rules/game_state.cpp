// game_state.cpp -- storage of the one game state.
#include "rules/game_state.h"

GameState game{};
