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

// Decimal comma, as a German user's locale would have it.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

TEST(OverpassArea, MarginsAreFivePercentAtLeastAMetreOrSoAndStayOnTheGlobe)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        GeoBox area;
        const char* text;
    } cases[] = {
        // A single point gets the smallest margin on every side.
        {areaOf({{47.5, 8.5}}), "47.4995000,8.4995000,47.5005000,8.5005000"},
        {areaOf({{nan, 8.0}, {47.0, inf}, {47.5, 8.5}, {nan, nan}}), "47.4995000,8.4995000,47.5005000,8.5005000"},
        {areaOf({{47.1, 8.2}, {47.0, 8.0}, {47.05, 8.1}}), "46.9950000,7.9900000,47.1050000,8.2100000"},
        {areaOf({{10.0, -3.0}, {10.0, -2.0}}), "9.9995000,-3.0500000,10.0005000,-1.9500000"},
        {areaOf({{90.0, 180.0}}), "89.9995000,179.9995000,90.0000000,180.0000000"},
        {areaOf({{-90.0, -180.0}}), "-90.0000000,-180.0000000,-89.9995000,-179.9995000"},
        {GeoBox{-33.8688197, -151.2092955, 1234.5, 0.00000004}, "-33.8688197,-151.2092955,1234.5000000,0.0000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(overpassBoxText(c.area), c.text);

    // Whatever the locale, C++'s or C's, a decimal point and no grouping.
    const std::locale previousGlobal = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string previousC = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (std::setlocale(LC_NUMERIC, name))
            break;
    const std::string underGermanLocale = overpassBoxText(cases[6].area);
    std::setlocale(LC_NUMERIC, previousC.c_str());
    std::locale::global(previousGlobal);
    EXPECT_EQ(underGermanLocale, cases[6].text);
}
