#include "filter/ClientPlacement.h"

QHash<qint32, int> ClientIndexById(const TObjectList<TCliObj>& clients) {
    QHash<qint32, int> indexById;
    indexById.reserve(clients.Count());
    for (int i = 0; i < clients.Count(); ++i) {
        if (!indexById.contains(clients[i]->Id))
            indexById.insert(clients[i]->Id, i);
    }
    return indexById;
}

std::vector<ClientPlacementStep> PlaceClients(const TObjectList<TCliObj>& clients) {
    enum State : quint8 { Unplaced, Placing, Placed };
    const QHash<qint32, int> indexById = ClientIndexById(clients);
    std::vector<State> state(static_cast<size_t>(clients.Count()), Unplaced);
    std::vector<ClientPlacementStep> steps;
    steps.reserve(static_cast<size_t>(clients.Count()));
    auto parentIndex = [&](int i) {
        const int p = indexById.value(clients[i]->ParentClientId, -1);
        return p == i ? -1 : p;
    };
    // A chain of parents is followed without recursion.
    auto place = [&](int i) {
        if (state[static_cast<size_t>(i)] == Placed)
            return;
        std::vector<int> chain;
        int c = i;
        while (true) {
            state[static_cast<size_t>(c)] = Placing;
            chain.push_back(c);
            const int p = parentIndex(c);
            if (p < 0 || state[static_cast<size_t>(p)] != Unplaced)
                break; // top level, parent already placed, or a loop back into the chain
            c = p;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const int p = parentIndex(*it);
            const bool under = p >= 0 && state[static_cast<size_t>(p)] == Placed;
            steps.push_back({*it, under ? p : -1});
            state[static_cast<size_t>(*it)] = Placed;
        }
    };
    for (int i = 0; i < clients.Count(); ++i) {
        if (clients[i]->IsTopLevel())
            place(i);
    }
    for (int i = 0; i < clients.Count(); ++i)
        place(i);
    return steps;
}
