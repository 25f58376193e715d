#pragma once

class TBrokerSession;
class TAdvColumnGrid;

// Fills a grid from the session's current answer by position: field q of each row
// lands in the column whose identity (tag) is q, wherever the user moved it; a
// column with a float format shows the number formatted with it. The grid keeps at
// least one data row and is sorted again by its current sort column.
void LoadGridByPosition(TBrokerSession& session, TAdvColumnGrid& grid);
