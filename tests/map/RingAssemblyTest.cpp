// Multipolygon rings from member ways.

#include "map/OsmReader.h"

#include <gtest/gtest.h>

#include <algorithm>

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
