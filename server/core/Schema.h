#pragma once

#include <QStringList>

// The statements that bring the store from schema version v - 1 to v (v >= 1).
namespace Schema {
int LatestVersion();
QStringList Upgrade(int toVersion);
} // namespace Schema
