#include "torvel_logic_link.h"

#include "torvel_database.h"
#include "tournament_rules.h"

// INTEGRATION POINT (issue3-logic): until torvel/logic lands, a group side is
// read straight from the match file and knockout sides stay unknown.
int32_t TeamOfMatch(int32_t m, int32_t s) {
    if (m >= FirstKnockoutMatch)
        return -1;
    return TorvelDatabase->IndexOfTeam(TorvelDatabase->Jogos[m].equipes()[s].Ident());
}

// INTEGRATION POINT (issue3-logic): UpdateQualification.
void RunUpdateQualification() {}

// INTEGRATION POINT (issue3-logic): the standings computed after a load.
void ComputeInitialStandings() {}

// INTEGRATION POINT (issue3-logic): the cursor loaded from "MAO".
QCursor HandCursor() {
    return QCursor(Qt::PointingHandCursor);
}
