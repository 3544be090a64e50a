#include "map/OsmReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

// A ring's node sequence up to rotation and direction, so tests can compare
// rings without restating the assembly's choice of start.
Ids canonical(Ids ring)
{
    ring.pop_back();
    auto rotateToMin = [](Ids ids) {
        std::rotate(ids.begin(), std::min_element(ids.begin(), ids.end()), ids.end());
        return ids;
    };
    Ids forward = rotateToMin(ring);
    std::reverse(ring.begin(), ring.end());
    Ids backward = rotateToMin(ring);
    return std::min(forward, backward);
}

} // namespace

TEST(AssembleRings, JoinsSegmentsInEveryOrientation)
{
    // The square 1-2-3-4 split into three pieces, each listed forwards or
    // backwards, in every order: always the same ring.
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
            EXPECT_EQ(5u, rings[0].size());
            EXPECT_EQ(rings[0].front(), rings[0].back());
            EXPECT_EQ((Ids{1, 2, 3, 4}), canonical(rings[0]));
        }
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(AssembleRings, RingsComeInTheOrderTheyClose)
{
    Multipolygon mp;
    mp.add(1, {1, 2, 3, 1});
    mp.add(2, {10, 11, 12});
    mp.add(3, {12, 10});
    auto rings = mp.rings();
    ASSERT_EQ(2u, rings.size());
    EXPECT_EQ((Ids{10, 11, 12}), canonical(rings[0]));
    EXPECT_EQ((Ids{1, 2, 3}), canonical(rings[1]));
}

TEST(AssembleRings, RolesSelectMembersAndEmptyRoleMeansOuter)
{
    Multipolygon mp;
    mp.add(1, {1, 2, 3, 4, 1}, "");
    mp.add(2, {5, 6, 7, 5}, "inner");
    mp.add(3, {8, 9, 10, 8}, "Outer");
    EXPECT_EQ((std::vector<Ids>{{1, 2, 3, 4, 1}}), mp.rings("outer"));
    EXPECT_EQ((std::vector<Ids>{{5, 6, 7, 5}}), mp.rings("inner"));
}

TEST(AssembleRings, OpenChainsShortRingsAndMissingWaysAreDropped)
{
    Multipolygon mp;
    mp.add(1, {1, 2, 3});           // never closes
    mp.add(2, {5, 6, 5});           // closed but only two distinct nodes
    mp.add(3, {7});                 // single node
    mp.relation.members.push_back(OsmMember{99, "outer"}); // not in the table
    mp.add(4, {20, 21, 22, 20});
    EXPECT_EQ((std::vector<Ids>{{20, 21, 22, 20}}), mp.rings());
}

TEST(AssembleRings, ThousandsOfShuffledSegmentsStayFast)
{
    // A large lake: 5,000 member ways of 10 nodes each in random order and direction.
    constexpr int segmentCount = 5000;
    constexpr int nodesPerSegment = 10;
    constexpr std::int64_t nodeCount = std::int64_t{segmentCount} * (nodesPerSegment - 1);
    std::vector<Ids> pieces;
    for (int s = 0; s < segmentCount; ++s) {
        Ids piece;
        for (int k = 0; k < nodesPerSegment; ++k)
            piece.push_back((std::int64_t{s} * (nodesPerSegment - 1) + k) % nodeCount);
        pieces.push_back(piece);
    }
    std::mt19937 random(7);
    std::shuffle(pieces.begin(), pieces.end(), random);
    Multipolygon mp;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (random() % 2)
            std::reverse(pieces[i].begin(), pieces[i].end());
        mp.add(static_cast<std::int64_t>(i) + 1, pieces[i]);
    }

    auto started = std::chrono::steady_clock::now();
    auto rings = mp.rings();
    auto elapsed = std::chrono::steady_clock::now() - started;

    ASSERT_EQ(1u, rings.size());
    EXPECT_EQ(static_cast<std::size_t>(nodeCount) + 1, rings[0].size());
    Ids sorted(rings[0].begin(), rings[0].end() - 1);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted.end(), std::adjacent_find(sorted.begin(), sorted.end()));
    // Generous even for sanitizer builds; a quadratic walk needs far longer.
    EXPECT_LT(elapsed, std::chrono::seconds(2));
}

TEST(ResolvePoints, LeavesOutUnknownIdsInOrder)
{
    OsmNodeTable nodes;
    nodes.assign(1, MapPoint{1.0, 10.0});
    nodes.assign(3, MapPoint{3.0, 30.0});
    auto points = resolvePoints(nodes, {3, 2, 1, 3});
    ASSERT_EQ(3u, points.size());
    EXPECT_DOUBLE_EQ(3.0, points[0].latitude);
    EXPECT_DOUBLE_EQ(10.0, points[1].longitude);
    EXPECT_DOUBLE_EQ(30.0, points[2].longitude);
    EXPECT_TRUE(resolvePoints(nodes, {}).empty());
}

TEST(FlatIdMap, KeepsEveryIdIncludingExtremes)
{
    FlatIdMap<int> map;
    const std::int64_t extremes[] = {std::numeric_limits<std::int64_t>::min(), -1, 0,
                                     std::numeric_limits<std::int64_t>::max()};
    for (int i = 0; i < 4; ++i)
        map.assign(extremes[i], i);
    for (std::int64_t id = 1; id <= 100000; ++id)
        map.assign(id * 7919, static_cast<int>(id));
    EXPECT_EQ(100004u, map.size());
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(nullptr, map.find(extremes[i])) << i;
    EXPECT_EQ(0, *map.find(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(3, *map.find(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(1234, *map.find(1234 * 7919));
    EXPECT_EQ(nullptr, map.find(7918));
    EXPECT_FALSE(map.insert(7919, 5).second);
    EXPECT_EQ(1, *map.find(7919));
}
