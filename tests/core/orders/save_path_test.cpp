// Save paths from files and edits: no step out of the folder, no control character, a file named.
#include "core/orders/save_path.h"

#include <gtest/gtest.h>

namespace pelldra {
namespace {

TEST(SavePathTest, PathsThatClimbOutNameNoFileOrHoldControlsAreRefused)
{
    const std::string folder = "/up/../dl/"; // the chosen folder itself is not looked at
    const std::string climb = "保存先に「..」や制御文字は使えません";
    const std::string noName = "保存先のファイル名がありません";
    const std::pair<std::string, std::string> cases[] = {
        {folder + "..a/画像...jpg", ""},
        {"/other/../dl/a.jpg", climb},
        {folder + "a/../../b.jpg", climb},
        {folder + "a\\..\\..\\b.jpg", climb}, // a list from another system
        {folder + "a\x1b[2J\x7f.jpg", climb},
        {folder + "a\xC2\x9B"
                  "2J.jpg",
         climb}, // the C1 escape in UTF-8
        {"", noName},
        {folder, noName},
        {folder + "a/..", noName},
    };
    for (const auto& [dest, refusal] : cases) {
        SCOPED_TRACE(dest);
        EXPECT_EQ(DestRefusal(dest, folder), refusal);
    }
}

} // namespace
} // namespace pelldra
