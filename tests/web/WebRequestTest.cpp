#include "WebRequest.h"

#include "DocumentPath.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

TEST(WebRequest, HeadInAnyLetterCaseAsksForTheHeadersOfADocument) {
    test::WebStation station;
    station.Document("logo.png", "PNG");
    const auto file = DocumentRoot() / "logo.png";
    for (const auto& [method, headersOnly] :
         {std::pair{"HEAD", true}, std::pair{"head", true}, std::pair{"HeAd", true},
          std::pair{"GET", false}, std::pair{"POST", false}, std::pair{"HEADER", false}}) {
        const WebResponse response =
            HandleWebRequest({method, "/logo.png", "", "", "", {}}, station.Context());
        EXPECT_EQ(response, (WebResponse{200, "image/png", "", response.file, headersOnly, "", {}}))
            << method;
        EXPECT_EQ(response.file.lexically_normal(), file.lexically_normal()) << method;
    }
}

} // namespace
} // namespace halvane
