// The area asked of the Overpass servers and the query text.

#include "map/OverpassQuery.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <string>

using namespace pathlark;

namespace {

GeoBox areaOf(std::initializer_list<std::pair<double, double>> points)
{
    TrackBounds bounds;
    for (auto [lat, lon] : points)
        bounds.add(lat, lon);
    return downloadArea(bounds);
}

void expectBox(const GeoBox& box, double south, double west, double north, double east)
{
    EXPECT_NEAR(box.south, south, 1e-12);
    EXPECT_NEAR(box.west, west, 1e-12);
    EXPECT_NEAR(box.north, north, 1e-12);
    EXPECT_NEAR(box.east, east, 1e-12);
}

std::size_t occurrences(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// Decimal comma, as a German user's locale would have it.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

TEST(OverpassArea, MarginsAreFivePercentAtLeastAMetreOrSoAndStayOnTheGlobe)
{
    // A single point gets the smallest margin on every side: 0.001 x 0.001 degrees around it.
    const GeoBox point = areaOf({{47.5, 8.5}});
    expectBox(point, 47.4995, 8.4995, 47.5005, 8.5005);
    EXPECT_EQ(overpassBoxText(point), "47.4995000,8.4995000,47.5005000,8.5005000");

    expectBox(areaOf({{47.1, 8.2}, {47.0, 8.0}, {47.05, 8.1}}), 46.995, 7.99, 47.105, 8.21);
    // Only one axis long: the other keeps the minimum margin.
    expectBox(areaOf({{10.0, -3.0}, {10.0, -2.0}}), 9.9995, -3.05, 10.0005, -1.95);

    expectBox(areaOf({{90.0, 180.0}}), 89.9995, 179.9995, 90.0, 180.0);
    expectBox(areaOf({{-90.0, -180.0}}), -90.0, -180.0, -89.9995, -179.9995);
}

TEST(OverpassArea, PointsWithoutFiniteCoordinatesAreSkipped)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    TrackBounds bounds;
    bounds.add(nan, 8.0);
    bounds.add(47.0, inf);
    EXPECT_TRUE(bounds.empty());
    EXPECT_FALSE(downloadAreaAllowed(downloadArea(bounds)));

    bounds.add(47.5, 8.5);
    bounds.add(nan, nan);
    EXPECT_FALSE(bounds.empty());
    expectBox(downloadArea(bounds), 47.4995, 8.4995, 47.5005, 8.5005);
}

TEST(OverpassArea, SizeLimitIsInclusive)
{
    // 0.5 x 0.04 is exactly 0.02 in binary floating point too.
    GeoBox box{0.0, 0.0, 0.5, 0.04};
    ASSERT_EQ((box.north - box.south) * (box.east - box.west), MaxDownloadArea);
    EXPECT_TRUE(downloadAreaAllowed(box));
    box.east = std::nextafter(0.04, 1.0);
    EXPECT_FALSE(downloadAreaAllowed(box));

    EXPECT_TRUE(downloadAreaAllowed(areaOf({{47.0, 8.0}, {47.1, 8.1}})));
    EXPECT_FALSE(downloadAreaAllowed(areaOf({{47.0, 8.0}, {47.2, 8.2}})));
    // Across the 180th meridian longitudes are plain numbers: almost the whole globe.
    EXPECT_FALSE(downloadAreaAllowed(areaOf({{-17.0, 179.99}, {-17.01, -179.99}})));
}

TEST(OverpassQuery, BoxTextHasSevenDecimalsWhateverTheLocale)
{
    const GeoBox box{-33.8688197, -151.2092955, 1234.5, 0.00000004};
    const std::string expected = "-33.8688197,-151.2092955,1234.5000000,0.0000000";
    EXPECT_EQ(overpassBoxText(box), expected);

    const std::locale previousGlobal = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string previousC = std::setlocale(LC_NUMERIC, nullptr);
    // Not every machine has a German locale; the C++ one above always applies.
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (std::setlocale(LC_NUMERIC, name))
            break;
    const std::string underGermanLocale = overpassBoxText(box);
    std::setlocale(LC_NUMERIC, previousC.c_str());
    std::locale::global(previousGlobal);
    EXPECT_EQ(underGermanLocale, expected);
}

TEST(OverpassQuery, NinePiecesWithTheBoxBetweenEachTwo)
{
    const GeoBox box{47.3, 8.45, 47.35, 8.52};
    const std::string b = "47.3000000,8.4500000,47.3500000,8.5200000";
    const std::string query = overpassQuery(box);

    EXPECT_EQ(occurrences(query, b), 8u);
    EXPECT_EQ(query.rfind("[out:xml][timeout:60];(way[highway](" + b + ");way[railway](" + b + ");way[waterway](" + b
                              + ");way[natural~\"^(water|bay|wood)$\"](" + b + ");way[landuse~\"^(",
                          0),
              0u);
    EXPECT_NE(query.find("reservoir|basin|forest|orchard|vineyard|grass|meadow|residential|industrial|commercial|"
                         "retail|construction)$\"]("
                         + b + ");way[leisure~\"^(park|garden|recreation_ground)$\"](" + b
                         + ");relation[type=multipolygon][natural~\"^(water|bay)$\"](" + b
                         + ");relation[type=multipolygon][landuse~\"^(reservoir|basin)$\"](" + b),
              std::string::npos);
    const std::string tail = b + "););(._;>;);out body;";
    ASSERT_GE(query.size(), tail.size());
    EXPECT_EQ(query.substr(query.size() - tail.size()), tail);
    // Nothing we do not draw is asked for.
    EXPECT_EQ(query.find("building"), std::string::npos);
    EXPECT_EQ(query.find("boundary"), std::string::npos);
}
