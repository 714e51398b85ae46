#include "TFormAbout.h"

#include <QLabel>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace halvane;

TEST(TFormAbout, BuildDateReadsAsCWritesIt) {
    const struct {
        const char* iso;
        const char* shown;
    } cases[] = {
        {"2014-04-08", "Apr  8 2014"},  {"2024-12-25", "Dec 25 2024"},
        {"2025-01-01", "Jan  1 2025"},  {"2025-13-01", "2025-13-01"}, // not a date: as it is
        {"Apr  8 2014", "Apr  8 2014"}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildDateText(c.iso), c.shown) << c.iso;
}

TEST(TFormAbout, ShowsTheVersionLine) {
    EXPECT_EQ(VersionLine("2.0.1", "Apr  8 2014"), "2.0.1 (Build: Apr  8 2014)");
    TFormAbout about(nullptr);
    about.show();
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_TRUE(about.LabelVersion()->text().contains(
        QRegularExpression(R"(^\d+\.\d+\.\d+ \(Build: [A-Z][a-z]{2} [ \d]\d \d{4}\)$)")))
        << about.LabelVersion()->text().toStdString();
    about.close();
}
