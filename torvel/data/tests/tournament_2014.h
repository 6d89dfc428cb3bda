#pragma once
// The 2014 tournament of the shipped data: its real results in the order of
// the match file, and the group tables they gave.

#include "tournament_rules.h"

namespace torvel_test {

struct Result {
    int match;
    const char* team0;
    int goals0;
    int goals1;
    const char* team1;
};

// The group matches in the order of the match file.
inline constexpr Result GroupResults[] = {
    {0, "Brasil", 3, 1, "Croácia"},
    {1, "México", 1, 0, "Camarões"},
    {2, "Brasil", 0, 0, "México"},
    {3, "Camarões", 0, 4, "Croácia"},
    {4, "Camarões", 1, 4, "Brasil"},
    {5, "Croácia", 1, 3, "México"},
    {6, "Espanha", 1, 5, "Holanda"},
    {7, "Chile", 3, 1, "Austrália"},
    {8, "Austrália", 2, 3, "Holanda"},
    {9, "Espanha", 0, 2, "Chile"},
    {10, "Austrália", 0, 3, "Espanha"},
    {11, "Holanda", 2, 0, "Chile"},
    {12, "Colômbia", 3, 0, "Grécia"},
    {13, "Costa do Marfim", 2, 1, "Japão"},
    {14, "Colômbia", 2, 1, "Costa do Marfim"},
    {15, "Japão", 0, 0, "Grécia"},
    {16, "Japão", 1, 4, "Colômbia"},
    {17, "Grécia", 2, 1, "Costa do Marfim"},
    {18, "Uruguai", 1, 3, "Costa Rica"},
    {19, "Inglaterra", 1, 2, "Itália"},
    {20, "Uruguai", 2, 1, "Inglaterra"},
    {21, "Itália", 0, 1, "Costa Rica"},
    {22, "Itália", 0, 1, "Uruguai"},
    {23, "Costa Rica", 0, 0, "Inglaterra"},
    {24, "Suíça", 2, 1, "Equador"},
    {25, "França", 3, 0, "Honduras"},
    {26, "Suíça", 2, 5, "França"},
    {27, "Honduras", 1, 2, "Equador"},
    {28, "Honduras", 0, 3, "Suíça"},
    {29, "Equador", 0, 0, "França"},
    {30, "Argentina", 2, 1, "Bósnia e Herzegovina"},
    {31, "Irã", 0, 0, "Nigéria"},
    {32, "Argentina", 1, 0, "Irã"},
    {33, "Nigéria", 1, 0, "Bósnia e Herzegovina"},
    {34, "Nigéria", 2, 3, "Argentina"},
    {35, "Bósnia e Herzegovina", 3, 1, "Irã"},
    {36, "Alemanha", 4, 0, "Portugal"},
    {37, "Gana", 1, 2, "Estados Unidos"},
    {38, "Alemanha", 2, 2, "Gana"},
    {39, "Estados Unidos", 2, 2, "Portugal"},
    {40, "Estados Unidos", 0, 1, "Alemanha"},
    {41, "Portugal", 2, 1, "Gana"},
    {42, "Bélgica", 2, 1, "Argélia"},
    {43, "Rússia", 1, 1, "Coreia do Sul"},
    {44, "Bélgica", 1, 0, "Rússia"},
    {45, "Coreia do Sul", 2, 4, "Argélia"},
    {46, "Coreia do Sul", 0, 1, "Bélgica"},
    {47, "Argélia", 1, 1, "Rússia"},
};

// The knockout matches with the teams each side must resolve to. A match has
// no field for a penalty shoot-out, so the four decided on penalties are
// entered with the shoot-out winner given one goal more than the drawn
// score: 48 (1-1, Brasil 3-2), 51 (1-1, Costa Rica 5-3), 58 (0-0, Holanda
// 4-3) and 61 (0-0, Argentina 4-2).
inline constexpr Result KnockoutResults[] = {
    {48, "Brasil", 2, 1, "Chile"},       {49, "Colômbia", 2, 0, "Uruguai"},
    {50, "Holanda", 2, 1, "México"},     {51, "Costa Rica", 2, 1, "Grécia"},
    {52, "França", 2, 0, "Nigéria"},     {53, "Alemanha", 2, 1, "Argélia"},
    {54, "Argentina", 1, 0, "Suíça"},    {55, "Bélgica", 2, 1, "Estados Unidos"},
    {56, "Brasil", 2, 1, "Colômbia"},    {57, "França", 0, 1, "Alemanha"},
    {58, "Holanda", 1, 0, "Costa Rica"}, {59, "Argentina", 1, 0, "Bélgica"},
    {60, "Brasil", 1, 7, "Alemanha"},    {61, "Holanda", 0, 1, "Argentina"},
    {62, "Brasil", 0, 3, "Holanda"},     {63, "Alemanha", 1, 0, "Argentina"},
};

// Group rows as the tables of 2014 ended.
inline constexpr const char* FinalGroupTables[GroupCount][TeamsPerGroup] = {
    {"Brasil", "México", "Croácia", "Camarões"},
    {"Holanda", "Chile", "Espanha", "Austrália"},
    {"Colômbia", "Grécia", "Costa do Marfim", "Japão"},
    {"Costa Rica", "Uruguai", "Itália", "Inglaterra"},
    {"França", "Suíça", "Equador", "Honduras"},
    {"Argentina", "Nigéria", "Bósnia e Herzegovina", "Irã"},
    {"Alemanha", "Estados Unidos", "Portugal", "Gana"},
    {"Bélgica", "Argélia", "Rússia", "Coreia do Sul"},
};

} // namespace torvel_test
