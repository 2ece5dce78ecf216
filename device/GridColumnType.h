#pragma once

// What a grid column holds, stored as a plain integer per column. Only Value and
// Frequency columns are edited in place; every other number (the main window
// also uses 2 and 3 for its picture columns) is treated as Locked.
enum GridColumnType
{
    Value = 0,     // edited; written in value format
    Locked = 1,    // not edited; activating it only posts WM_GRID_ACTIVATE
    Frequency = 4, // edited; written in engineering format
};
