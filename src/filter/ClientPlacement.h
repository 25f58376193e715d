#pragma once

#include "shell/refs/ReferenceData.h"

#include <QHash>

#include <vector>

// Where each client goes in a tree of clients by ParentClientId: one step per client,
// parents before their sub-clients, the top-level clients' chains first. A client whose
// parent is missing, is itself, or whose parents lead back to it goes to the top
// instead of looping. The filter dialog and the client browser build their client
// trees from it, so both show the same hierarchy.
struct ClientPlacementStep {
    int client = -1; // index in the client list
    int parent = -1; // index of the parent client placed before, -1 for the top
};

std::vector<ClientPlacementStep> PlaceClients(const TObjectList<TCliObj>& clients);

// Index of the first client with each id.
QHash<qint32, int> ClientIndexById(const TObjectList<TCliObj>& clients);
