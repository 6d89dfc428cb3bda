#pragma once
// The calls the windows make into the tournament computations and the shared
// resources, one small function each, so every window names them once.

#include <QCursor>

#include <cstdint>

// The team index playing on side s of match m; negative while unknown.
int32_t TeamOfMatch(int32_t m, int32_t s);

// Standings, ties decided by lot and the knockout teams brought up to date;
// saves the team file.
void RunUpdateQualification();

// The standings of the documents just loaded, before the first phase shows.
void ComputeInitialStandings();

// Cursor number 1, the hand cursor "MAO", for every clickable control.
QCursor HandCursor();
