// lab_options.cpp -- viertal-lab's command line: strict parsing, one-line errors, help.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "tools/lab/lab.h"

namespace {

const char HELP[] = "usage: viertal-lab COMMAND [OPTIONS]\n"
                    "\n"
                    "Analysis of the computer's play. Cells are numbered 1..42 as 7 x row + column, row 0 at the\n"
                    "bottom and column 1 at the left; CELLS is a comma-separated list such as 1,8,15. The discs\n"
                    "given must make a position of a game: none above an empty cell, and the sides' counts as\n"
                    "turns give them (for scores, with the computer to move, the human has as many discs as\n"
                    "the computer or one more; for win either side may have moved last).\n"
                    "\n"
                    "  viertal-lab scores --tactic T [--computer CELLS] [--human CELLS] [--moves N] [--random R]\n"
                    "      Prints 'scores S1 S2 S3 S4 S5 S6 S7' (each column's score, -999 for a full column) and\n"
                    "      'column C', the computer's choice with N discs played (default: the discs given; 0 asks\n"
                    "      for the opening, decided by the random number R in [0, 1), default 0.5). C is 0 on a\n"
                    "      full board. T is the playing style 0..3.\n"
                    "\n"
                    "  viertal-lab win --player computer|human [--computer CELLS] [--human CELLS]\n"
                    "      Prints 'win' when that player has four in a line, otherwise 'no win'.\n"
                    "\n"
                    "  viertal-lab match --tactic A --against random|0|1|2|3 --games N [--seed S]\n"
                    "      Plays N games (1 to 10000000, a few minutes at most) of style A against an opponent\n"
                    "      moving at random among the open columns or with style B, alternating who begins (A\n"
                    "      begins the first game). Prints 'wins W draws D losses L' from A's side, then 'mean\n"
                    "      decision time X us per move' for A's moves. S (default 1) makes the games repeatable.\n"
                    "      On a terminal, a match that runs for more than two seconds shows how far it has got\n"
                    "      on stderr.\n"
                    "\n"
                    "  viertal-lab --help\n"
                    "      Prints this text.\n"
                    "\n"
                    "Bad input (an unknown command or option, a missing or malformed value, a cell outside 1..42,\n"
                    "given twice or for both sides, a position no game reaches, a style outside 0..3, N outside\n"
                    "its range) prints one line on stderr and exits with status 2 without printing anything\n"
                    "else.\n";

// Returns true when `text` is a whole decimal number of at most 18 digits; stores it in `value`.
bool parse_decimal(const char* text, int64_t& value) {
    size_t length = std::strlen(text);
    if (length == 0 || length > 18) return false;
    value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    return true;
}

// Returns the decimal value of `text` when it lies in [low, high]; fails the run otherwise.
int32_t parse_ranged(const char* option, const char* text, int64_t low, int64_t high) {
    int64_t value = 0;
    if (!parse_decimal(text, value) || value < low || value > high) {
        static char message[160];
        std::snprintf(message, sizeof message, "%s needs a whole number from %lld to %lld, not", option,
                      static_cast<long long>(low), static_cast<long long>(high));
        lab_fail(message, text);
    }
    return static_cast<int32_t>(value);
}

// Parses a comma-separated cell list into options.cells with `code`; rejects repeats and clashes.
void parse_cells(const char* option, const char* text, int32_t code, LabOptions& options) {
    if (*text == '\0') return; // an empty list: no discs of this side
    char number[24];
    const char* p = text;
    while (true) {
        const char* comma = std::strchr(p, ',');
        size_t length = comma != nullptr ? static_cast<size_t>(comma - p) : std::strlen(p);
        if (length == 0 || length >= sizeof number) lab_fail("malformed cell list", text);
        std::memcpy(number, p, length);
        number[length] = '\0';
        int32_t cell = parse_ranged(option, number, 1, 42);
        if (options.cells[cell] == code) lab_fail("cell given twice:", number);
        if (options.cells[cell] != EMPTY) lab_fail("cell given for both sides:", number);
        options.cells[cell] = code;
        ++options.disc_count;
        if (comma == nullptr) break;
        p = comma + 1;
    }
}

// Returns the number R in [0, 1) that `text` spells; fails the run otherwise.
double parse_fraction(const char* text) {
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || errno != 0 || !std::isfinite(value) || value < 0.0 || value >= 1.0)
        lab_fail("--random needs a number in [0, 1), not", text);
    return value;
}

// Returns true when `option` is allowed for `command`.
bool option_allowed(LabCommand command, const char* option) {
    const char* const scores[] = {"--tactic", "--computer", "--human", "--moves", "--random"};
    const char* const win[] = {"--player", "--computer", "--human"};
    const char* const match[] = {"--tactic", "--against", "--games", "--seed"};
    const char* const* list = command == LabCommand::scores ? scores : command == LabCommand::win ? win : match;
    size_t count = command == LabCommand::scores ? 5 : command == LabCommand::win ? 3 : 4;
    for (size_t i = 0; i < count; ++i)
        if (std::strcmp(list[i], option) == 0) return true;
    return false;
}

// Stores the value of one option.
void apply_option(const char* option, const char* value, LabOptions& o) {
    if (std::strcmp(option, "--tactic") == 0) {
        o.tactic = parse_ranged(option, value, 0, 3);
        o.given_tactic = true;
    } else if (std::strcmp(option, "--against") == 0) {
        int64_t style = 0;
        if (std::strcmp(value, "random") == 0)
            o.against = AGAINST_RANDOM;
        else if (parse_decimal(value, style) && style < TACTIC_COUNT)
            o.against = static_cast<int32_t>(style);
        else
            lab_fail("--against needs random, 0, 1, 2 or 3, not", value);
        o.given_against = true;
    } else if (std::strcmp(option, "--games") == 0) {
        o.games = parse_ranged(option, value, 1, MAX_GAMES);
        o.given_games = true;
    } else if (std::strcmp(option, "--seed") == 0) {
        int64_t seed = 0;
        if (!parse_decimal(value, seed)) lab_fail("--seed needs a whole number of at most 18 digits, not", value);
        o.seed = static_cast<uint64_t>(seed);
    } else if (std::strcmp(option, "--moves") == 0) {
        o.moves = parse_ranged(option, value, 0, 42);
        o.given_moves = true;
    } else if (std::strcmp(option, "--random") == 0) {
        o.random = parse_fraction(value);
    } else if (std::strcmp(option, "--player") == 0) {
        if (std::strcmp(value, "computer") == 0)
            o.player = COMPUTER;
        else if (std::strcmp(value, "human") == 0)
            o.player = HUMAN;
        else
            lab_fail("--player needs computer or human, not", value);
        o.given_player = true;
    } else if (std::strcmp(option, "--computer") == 0) {
        parse_cells(option, value, COMPUTER, o);
    } else {
        parse_cells(option, value, HUMAN, o);
    }
}

// Fails the run when an option the command cannot do without is missing.
void require_options(LabCommand command, const LabOptions& o) {
    if (command != LabCommand::win && !o.given_tactic) lab_fail("missing --tactic");
    if (command == LabCommand::win && !o.given_player) lab_fail("missing --player");
    if (command == LabCommand::match && !o.given_against) lab_fail("missing --against");
    if (command == LabCommand::match && !o.given_games) lab_fail("missing --games");
}

// Fails the run when the discs given make a position no game reaches: a disc above an empty cell,
// or disc counts that taking turns cannot give. `scores` asks for the computer's move, so the
// human, who may have begun, has as many discs as the computer or one more; after `win`'s
// question either side may have moved last. (A cell given twice never gets this far.)
void require_reachable(LabCommand command, const LabOptions& o) {
    char message[160];
    for (int32_t cell = COLUMN_COUNT + 1; cell <= CELL_COUNT; ++cell)
        if (o.cells[cell] != EMPTY && o.cells[cell - COLUMN_COUNT] == EMPTY) {
            std::snprintf(message, sizeof message, "cell %d cannot hold a disc while cell %d below it is empty", cell,
                          cell - COLUMN_COUNT);
            lab_fail(message);
        }
    int32_t lead = 0; // the human's discs less the computer's
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) lead -= o.cells[cell];
    const int32_t low = command == LabCommand::scores ? 0 : -1;
    if (lead >= low && lead <= 1) return;
    const int32_t humans = (o.disc_count + lead) / 2;
    std::snprintf(message, sizeof message, "discs computer %d, human %d: %s", o.disc_count - humans, humans,
                  command == LabCommand::win ? "the sides take turns, so their counts differ by one at most"
                                             : "with the computer to move, the human has as many or one more");
    lab_fail(message);
}

} // namespace

void lab_fail(const char* message, const char* detail) {
    if (detail != nullptr)
        std::fprintf(stderr, "viertal-lab: %s '%s' (see --help)\n", message, detail);
    else
        std::fprintf(stderr, "viertal-lab: %s (see --help)\n", message);
    std::exit(2);
}

void print_lab_help() {
    std::fputs(HELP, stdout);
}

void parse_lab_options(LabCommand command, int argc, char** argv, LabOptions& options) {
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            print_lab_help();
            std::exit(0);
        }
    }
    const char* seen[16] = {};
    int seen_count = 0;
    for (int i = 2; i < argc; i += 2) {
        const char* option = argv[i];
        if (!option_allowed(command, option)) lab_fail("unknown option", option);
        for (int k = 0; k < seen_count; ++k)
            if (std::strcmp(seen[k], option) == 0) lab_fail("option given twice:", option);
        if (seen_count < 16) seen[seen_count++] = option;
        if (i + 1 >= argc) lab_fail("missing value after", option);
        apply_option(option, argv[i + 1], options);
    }
    require_options(command, options);
    if (command != LabCommand::match) require_reachable(command, options);
}
