#include "sam/samscenarios.h"

#include <QHash>
#include <QStringList>

#include <iterator>

namespace quarl::igm {

namespace {

// The parts a line needs for its scenario, by the gateway's object numbers.
struct Scenario
{
    const char *key; // cargo type, B/L kind, earlier declaration, movement: "IM S N LC"
    const char *objects;
};

// Master lines (objects 23-32) and house B/Ls (41-51) by trade scenario; "-" where the
// gateway says the combination is not possible.
const Scenario MasterScenarios[] = {
    {"IM S N LC", "23 25 27 28 29 30 32"}, {"IM S N DT", "23 25 27 28 29 30 32"}, {"IM S N TI", "23 25 26 27 28 29 30 32"},
    {"IM S Y LC", "23 24 25 29"}, {"IM S Y DT", "23 24 25 29"}, {"IM S Y TI", "23 24 25 29"},
    {"IM S C *", "-"},
    {"IM C N LC", "23 25 27 29 30 32"}, {"IM C N DT", "23 25 27 29 30 32"}, {"IM C N TI", "23 25 26 27 29 30 32"},
    {"IM C C LC", "23 24 25 27 29 30 32"}, {"IM C C DT", "23 24 25 27 29 30 32"}, {"IM C C TI", "23 24 25 26 27 29 30 32"},
    {"IM C Y LC", "23 24 25 29"}, {"IM C Y DT", "23 24 25 29"}, {"IM C Y TI", "23 24 25 29"},
    {"EX S N *", "-"}, {"EX S C *", "-"},
    {"EX S Y TI", "23 24 25 29 32"}, {"EX S Y FT", "23 24 25 29 32"}, {"EX S Y TC", "23 24 25 29 32"},
    {"EX C N TI", "23 25 26 27 29 30 32"}, {"EX C N FT", "23 25 26 27 29 30 32"}, {"EX C N TC", "23 25 26 27 29 30 32"},
    {"EX C C TI", "23 24 25 26 27 29 30 32"}, {"EX C C FT", "23 24 25 27 29 30 32"}, {"EX C C TC", "23 24 25 26 27 29 30 32"},
    {"EX C Y TI", "23 24 25 29 32"}, {"EX C Y FT", "23 24 25 29 32"}, {"EX C Y TC", "23 24 25 29 32"},
    {"TR S N FT", "23 25 26 27 29 30 32"}, {"TR S N TC", "23 25 26 27 28 29 30 32"},
    {"TR S C *", "-"},
    {"TR S Y FT", "23 24 25 29"}, {"TR S Y TC", "23 24 25 29"},
    {"TR C N TC", "23 25 26 27 29 30 32"}, {"TR C C TC", "23 24 25 26 27 29 30 32"}, {"TR C Y TC", "23 24 25 29"},
    {"CG S N LC", "23 25 27 28 29 30 32"}, {"CG S N DT", "23 25 27 28 29 30 32"}, {"CG S N TI", "23 25 26 27 28 29 30 32"},
    {"CG S C *", "-"},
    {"CG S Y LC", "23 24 25 29 32"}, {"CG S Y DT", "23 24 25 29 32"}, {"CG S Y TI", "23 24 25 29 32"},
    {"CG C N LC", "23 25 27 29 30 32"}, {"CG C N DT", "23 25 27 29 30 32"}, {"CG C N TI", "23 25 26 27 29 30 32"},
    {"CG C C LC", "23 24 25 27 29 30 32"}, {"CG C C DT", "23 24 25 27 29 30 32"}, {"CG C C TI", "23 24 25 26 27 29 30 32"},
    {"CG C Y LC", "23 24 25 29 32"}, {"CG C Y DT", "23 24 25 29 32"}, {"CG C Y TI", "23 24 25 29 32"},
};
const Scenario HouseScenarios[] = {
    {"IM H N LC", "41 43 45 46 47 49 51"}, {"IM H N DT", "41 43 45 46 47 49 51"}, {"IM H N TI", "41 43 44 45 46 47 49 51"},
    {"IM H Y LC", "41 42 46"}, {"IM H Y DT", "41 42 46"}, {"IM H Y TI", "41 42 46"},
    {"IM H C *", "-"},
    {"IM C C LC", "41 42 43 46 47 49 51"}, {"IM C C DT", "41 42 43 46 47 49 51"}, {"IM C C TI", "41 42 43 44 46 47 49 51"},
    {"IM C Y LC", "41 42 46 47"}, {"IM C Y DT", "41 42 46 47"}, {"IM C Y TI", "41 42 46 47"},
    {"EX H N *", "-"}, {"EX H C *", "-"},
    {"EX H Y TI", "41 42 46 47 51"}, {"EX H Y FT", "41 42 46 47 51"}, {"EX H Y TC", "41 42 46 47 51"},
    {"EX C C TI", "41 42 43 44 46 47 51"}, {"EX C C FT", "41 42 43 46 47 49 51"}, {"EX C C TC", "41 42 43 44 46 47 51"},
    {"EX C Y TI", "41 42 46 47 51"}, {"EX C Y FT", "41 42 46 47 51"}, {"EX C Y TC", "41 42 46 47 51"},
    {"TR H N TC", "41 43 44 45 46 47 49 51"}, {"TR H C *", "-"}, {"TR H Y TC", "41 42 46 47 49 51"},
    {"TR C C TC", "41 42 43 44 46 47 49 51"}, {"TR C Y TC", "41 42 46 47"},
    {"CG H N LC", "41 42 43 45 46 47 49 51"}, {"CG H N DT", "41 42 43 45 46 47 49 51"},
    {"CG H N TI", "41 42 43 44 45 46 47 49 51"}, {"CG H C *", "-"},
    {"CG H Y LC", "41 42 46 47 49 51"}, {"CG H Y DT", "41 42 46 47 49 51"}, {"CG H Y TI", "41 42 46 47 49 51"},
    {"CG C C LC", "41 42 43 46 47 49 51"}, {"CG C C DT", "41 42 43 46 47 49 51"}, {"CG C C TI", "41 42 43 44 46 47 49 51"},
    {"CG C Y LC", "41 42 46 47 51"}, {"CG C Y DT", "41 42 46 47 51"}, {"CG C Y TI", "41 42 46 47 51"},
};

} // namespace

const ScenarioNeeds *findScenario(bool house, const QString &key)
{
    static const auto table = [](const Scenario *begin, const Scenario *end) {
        QHash<QString, ScenarioNeeds> t;
        for (const Scenario *s = begin; s != end; ++s) {
            ScenarioNeeds n;
            n.possible = qstrcmp(s->objects, "-") != 0;
            for (const QString &o : QString::fromLatin1(s->objects).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                n.objects.insert(o.toInt());
            t.insert(QLatin1String(s->key), n);
        }
        return t;
    };
    static const QHash<QString, ScenarioNeeds> masters = table(std::begin(MasterScenarios), std::end(MasterScenarios));
    static const QHash<QString, ScenarioNeeds> houses = table(std::begin(HouseScenarios), std::end(HouseScenarios));
    const QHash<QString, ScenarioNeeds> &t = house ? houses : masters;
    if (const auto it = t.constFind(key); it != t.constEnd())
        return &it.value();
    const auto any = t.constFind(key.left(key.lastIndexOf(QLatin1Char(' '))) + QStringLiteral(" *"));
    return any == t.constEnd() ? nullptr : &any.value();
}

std::optional<QSet<int>> samScenarioObjects(bool house, const QString &cargoType, const QString &kind,
                                            const QString &previous, const QString &movement)
{
    const ScenarioNeeds *n = findScenario(house, QStringList{cargoType, kind, previous, movement}.join(QLatin1Char(' ')));
    if (!n || !n->possible)
        return std::nullopt;
    return n->objects;
}

} // namespace quarl::igm
