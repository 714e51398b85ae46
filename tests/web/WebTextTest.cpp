#include "BasicAuthorization.h"
#include "DecimalIndex.h"
#include "DocumentPath.h"
#include "MediaType.h"
#include "PageText.h"
#include "WebTestSupport.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

using namespace std::string_literals;

TEST(PageText, TemplateBytesAreDecodedByTheirMarkOrAsStoredText) {
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    // clang-format off
    const Case cases[] = {
        {"plain",                         "plain"},
        {"\xEF\xBB\xBF" "caf\xC3\xA9",    "caf\xC3\xA9"},              // UTF-8 mark dropped
        {"caf\xC3\xA9",                   "caf\xC3\xA9"},              // valid UTF-8
        {"caf\xE9 \x80",                  "caf\xC3\xA9 \xE2\x82\xAC"}, // else Windows-1252
        {"\xFF\xFE" "A\0\xE9\0\xAC\x20"s, "A\xC3\xA9\xE2\x82\xAC"},    // UTF-16 LE
        {"\xFE\xFF\0A\xD8\x3D\xDE\x00"s,  "A\xF0\x9F\x98\x80"},        // UTF-16 BE, a pair
        {"\xFF\xFE\x3D\xD8" "A\0"s,       "\xEF\xBF\xBD" "A"},         // lone surrogate
        {"\xFF\xFE" "A\0B"s,              "A\xEF\xBF\xBD"},            // odd last byte
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(TemplateTextToUtf8(c.bytes), c.utf8) << c.bytes;
}

using Lines = std::vector<std::string_view>;

Lines SplitLines(std::string_view text) {
    Lines lines;
    while (const auto line = TakeLine(text))
        lines.push_back(*line);
    return lines;
}

TEST(PageText, LinesEndAtCrLfLfOrCr) {
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("a"), Lines{"a"});
    EXPECT_EQ(SplitLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("\n\r\r\n\n"), (Lines{"", "", "", ""}));
    EXPECT_EQ(SplitLines("a\n\nb\n"), (Lines{"a", "", "b"}));
    const std::string longLine(10'000, 'a'); // beyond what is searched at once
    EXPECT_EQ(SplitLines(longLine + "\r" + longLine + "\nb"), (Lines{longLine, longLine, "b"}));
}

TEST(PageText, PagesHaveOneByteForLatin1AndReferencesForTheRest) {
    struct Case {
        std::string utf8;
        std::string page;
    };
    // clang-format off
    const Case cases[] = {
        {"<p>25 m</p>\r\n",          "<p>25 m</p>\r\n"},
        {"25 \xC2\xB0" "C",          "25 \xB0" "C"},     // U+00B0
        {"\xC3\xA9\xC3\xBF\xC2\xA0", "\xE9\xFF\xA0"},    // U+00E9 U+00FF U+00A0
        {"\xE2\x82\xAC",             "&#8364;"},         // euro sign
        {"\xC2\x85",                 "&#133;"},          // C1 control: a browser reads 0x85 as "…"
        {"\xF0\x9F\x98\x80!",        "&#128512;!"},      // beyond the BMP
        {"a\xFF" "b",                "a&#65533;b"},      // not UTF-8
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToLatin1Page(c.utf8), c.page) << c.utf8;
}

TEST(BasicAuthorization, DecodesStrictBase64OfTheBasicScheme) {
    struct Case {
        std::string header;
        Credentials credentials;
    };
    const Case cases[] = {
        {"Basic dXNlcjpwYXNz", {"user", "pass"}},
        {"basic dXNlcjpwYXNz", {"user", "pass"}},   // scheme in any case
        {"Basic  dXNlcjpwYXNz ", {"user", "pass"}}, // blanks around the token
        {"Basic dXNlcjo=", {"user", ""}},
        {"Basic OnNlY3JldA==", {"", "secret"}},
        {"Basic YTpiOmM=", {"a", "b:c"}}, // split at the first colon
        {"Basic dXNlcg==", {}},           // no colon
        {"Basic dXNlcjpwYXNz=", {}},      // length not a multiple of 4
        {"Basic dXNl*jpwYXNz", {}},       // not a base64 digit
        {"Basic dX=lcjpwYXNz", {}},       // padding inside
        {"Bearer dXNlcjpwYXNz", {}},
        {"Basic", {}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeBasicAuthorization(c.header), c.credentials) << c.header;
}

TEST(MediaType, ComesFromTheExtensionInAnyCase) {
    EXPECT_EQ(MediaTypeOf("/r/http/index.html"), "text/html");
    EXPECT_EQ(MediaTypeOf("/r/http/STYLE.CSS"), "text/css");
    EXPECT_EQ(MediaTypeOf("/r/http/logo.Png"), "image/png");
    EXPECT_EQ(MediaTypeOf("/r/http/screen-image-0.bmp"), "image/bmp");
    EXPECT_EQ(MediaTypeOf("/r/http/index.html.tpl"), "application/octet-stream");
    EXPECT_EQ(MediaTypeOf("/r/http/README"), "application/octet-stream");
}

TEST(DecimalIndex, AcceptsDecimalIntegersOfTheIntRangeOnly) {
    EXPECT_EQ(ParseDecimalIndex("0"), (OrRequestError<int>(0)));
    EXPECT_EQ(ParseDecimalIndex("-1"), (OrRequestError<int>(-1)));
    EXPECT_EQ(ParseDecimalIndex("2147483647"), (OrRequestError<int>(2147483647)));
    for (const char* text : {"", "x", "1x", " 1", "0x1", "1.5", "2147483648", "-2147483649",
                             "99999999999999999999999"}) {
        const auto parsed = ParseDecimalIndex(text);
        ASSERT_TRUE(std::holds_alternative<RequestError>(parsed)) << text;
        EXPECT_EQ(std::get<RequestError>(parsed).message,
                  "'" + std::string(text) + "' is not a valid integer value");
    }
}

TEST(DocumentPath, StaysInsideTheDocumentRoot) {
    TempDir dir;
    SetDataRoot(dir.Path().string());
    const auto root = DocumentRoot().lexically_normal();
    const struct {
        std::string request;
        bool inside;
    } cases[] = {
        {"/index.html", true},
        {"/sub/page.html", true},
        {"/a..b", true},
        {"/...", true},
        {"/./index.html", true},
        {"/..", false},
        {"/../cfg/config.cfg", false},
        {"/sub/../index.html", false},
        {"/..\\cfg\\config.cfg", false},
        {"\\..\\cfg", false},
        {"x", true}, // "http\\" + "x"
        {"", false},
        {"/", false}, // the root itself is no document
        {"/index.html\0.png"s, false},
    };
    for (const auto& c : cases) {
        const auto path = DocumentPath(c.request);
        EXPECT_EQ(path.has_value(), c.inside) << c.request;
        if (path) {
            EXPECT_EQ(path->lexically_normal(),
                      (root / c.request.substr(c.request.starts_with('/'))).lexically_normal());
        }
    }
}

} // namespace
} // namespace halvane
