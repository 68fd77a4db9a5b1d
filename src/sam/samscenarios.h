#pragma once

#include <QSet>
#include <QString>

#include <optional>

// The gateway's trade scenarios: which parts a master line or a house B/L carries for its
// cargo type, B/L kind, earlier declaration and movement.
namespace quarl::igm {

// The gateway's object numbers and their keys; the house numbers are the master's + 18 ...
struct ScenarioObject
{
    int master;
    int house;
    const char *key;
};
// Every part a scenario may ask for, the schema's required references first.
inline constexpr ScenarioObject ScenarioObjects[] = {
    {23, 41, nullptr}, // MCRef / HCRef: the schema requires them
    {24, 42, "prevRef"}, {25, 46, "locCstm"}, {26, 44, "trnshpr"}, {27, 43, "trnsprtDoc"},
    {28, 45, "itemDtls"}, {29, 47, "trnsprtEqmt"}, {30, 49, "itnry"}, {32, 51, "trnsprtDocMsr"},
};

// The parts a scenario asks for; not possible where the gateway takes no such line.
struct ScenarioNeeds
{
    bool possible = true;
    QSet<int> objects;
};

// The parts a scenario asks for, found by its key ("IM S N LC"), or by the key with "*"
// for its movement ("IM S C *"); null when the gateway does not list the scenario.
const ScenarioNeeds *findScenario(bool house, const QString &key);

// The parts a line of a trade scenario carries, by the gateway's object numbers (24 previous
// reference ... 32 measures of a master line; 42 ... 51 of a house B/L); nothing when the
// gateway takes no such line or does not list the scenario.
std::optional<QSet<int>> samScenarioObjects(bool house, const QString &cargoType, const QString &kind,
                                            const QString &previous, const QString &movement);

} // namespace quarl::igm
