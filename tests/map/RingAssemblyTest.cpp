// Multipolygon rings from member ways, and the id table the reader keeps nodes in.

#include "map/OsmReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <random>

using namespace pathlark;

namespace {

using Ids = std::vector<std::int64_t>;

struct Multipolygon {
    OsmWayTable ways;
    OsmRelationRecord relation;

    void add(std::int64_t wayId, Ids nodeIds, std::string role = "outer")
    {
        ways.insert(wayId, OsmWayRecord{std::move(nodeIds), {}});
        relation.members.push_back(OsmMember{wayId, std::move(role)});
    }
    std::vector<Ids> rings(const std::string& role = "outer") const { return assembleRings(relation, ways, role); }
};

// A ring's nodes up to rotation and direction, so tests need not restate the assembly's choice of start.
Ids canonical(Ids ring)
{
    EXPECT_EQ(ring.front(), ring.back());
    ring.pop_back();
    std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
    Ids backward(ring.rbegin(), ring.rend());
    std::rotate(backward.begin(), std::min_element(backward.begin(), backward.end()), backward.end());
    return std::min(ring, backward);
}

} // namespace

TEST(AssembleRings, JoinsSegmentsInEveryOrderAndOrientation)
{
    const std::vector<Ids> pieces = {{1, 2}, {2, 3, 4}, {4, 1}};
    std::vector<int> order = {0, 1, 2};
    do {
        for (int flips = 0; flips < 8; ++flips) {
            Multipolygon mp;
            for (int i : order) {
                Ids piece = pieces[i];
                if (flips & (1 << i))
                    std::reverse(piece.begin(), piece.end());
                mp.add(10 + i, piece);
            }
            auto rings = mp.rings();
            ASSERT_EQ(1u, rings.size());
            EXPECT_EQ((Ids{1, 2, 3, 4}), canonical(rings[0]));
        }
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(AssembleRings, RolesOrderAndWhatIsDropped)
{
    Multipolygon mp;
    mp.add(1, {1, 2, 3, 1}, "");  // no role: outer
    mp.add(2, {10, 11, 12});
    mp.add(3, {12, 10});
    mp.add(4, {5, 6, 7, 5}, "inner");
    mp.add(5, {8, 9, 10, 8}, "Outer");
    mp.add(6, {20, 21, 22});  // never closes
    mp.add(7, {25, 26, 25});  // closed but only two distinct nodes
    mp.add(8, {27});
    mp.relation.members.push_back(OsmMember{99, "outer"});  // not in the table
    const auto outer = mp.rings();
    ASSERT_EQ(outer.size(), 2u);  // in the order they close
    EXPECT_EQ((Ids{10, 11, 12}), canonical(outer[0]));
    EXPECT_EQ((Ids{1, 2, 3}), canonical(outer[1]));
    EXPECT_EQ((std::vector<Ids>{{5, 6, 7, 5}}), mp.rings("inner"));
}

TEST(AssembleRings, ThousandsOfShuffledSegmentsStayFast)
{
    // A large lake: 5,000 member ways of 10 nodes each in random order and direction.
    constexpr std::int64_t segments = 5000, nodes = segments * 9;
    std::vector<std::int64_t> order(segments);
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 random(7);
    std::shuffle(order.begin(), order.end(), random);
    Multipolygon mp;
    for (std::int64_t s : order) {
        Ids piece;
        for (int k = 0; k < 10; ++k)
            piece.push_back((s * 9 + k) % nodes);
        if (random() % 2)
            std::reverse(piece.begin(), piece.end());
        mp.add(s + 1, piece);
    }
    const auto started = std::chrono::steady_clock::now();
    auto rings = mp.rings();
    const auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(1u, rings.size());
    Ids sorted(rings[0].begin(), rings[0].end() - 1);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted.size(), std::size_t(nodes));
    EXPECT_EQ(sorted.end(), std::adjacent_find(sorted.begin(), sorted.end()));
    EXPECT_LT(elapsed, std::chrono::seconds(2)) << "generous even for sanitizers; a quadratic walk needs far longer";
}

TEST(FlatIdMap, KeepsEveryIdIncludingExtremes)
{
    FlatIdMap<int> map;
    const std::int64_t extremes[] = {std::numeric_limits<std::int64_t>::min(), -1, 0,
                                     std::numeric_limits<std::int64_t>::max()};
    for (int i = 0; i < 4; ++i)
        map.assign(extremes[i], i);
    for (std::int64_t id = 1; id <= 100000; ++id)
        map.assign(id * 7919, int(id));
    EXPECT_EQ(100004u, map.size());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(map.find(extremes[i]) ? *map.find(extremes[i]) : -99, i);
    EXPECT_EQ(1234, *map.find(1234 * 7919));
    EXPECT_EQ(nullptr, map.find(7918));
    EXPECT_FALSE(map.insert(7919, 5).second);
    EXPECT_EQ(1, *map.find(7919));
}
