// Reading HTTP dates: the direct reading of the usual form agrees with libcurl's general reader.
#include "core/engine/http_date.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

namespace pelldra {
namespace {

TEST(HttpDate, AgreesWithTheGeneralReader)
{
    const char* const dates[] = {
        "Sun, 06 Nov 1994 08:49:37 GMT", "Thu, 01 Jan 1970 00:00:00 GMT", "Tue, 29 Feb 2000 23:59:59 GMT",
        "Mon, 07 Dec 2026 16:48:25 GMT", "Fri, 31 Dec 9999 23:59:59 GMT", "Wed, 01 Mar 2100 12:00:00 GMT",
        // wrong weekday, older forms, odd values: whatever the general reader makes of them
        "Mon, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
        "Sun, 29 Feb 2001 00:00:00 GMT", "Sun, 06 Nov 1994 08:49:60 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
        "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 6 Nov 1994 08:49:37 GMT",  "Sun, 06 nov 1994 08:49:37 GMT",
        "Sun, 06 Nov 1a94 08:49:37 GMT", "", "garbage"};
    for (const char* d : dates) {
        SCOPED_TRACE(d);
        EXPECT_EQ(HttpDateSeconds(d), curl_getdate(d, nullptr));
    }
    EXPECT_EQ(HttpDateSeconds("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
}

} // namespace
} // namespace pelldra
