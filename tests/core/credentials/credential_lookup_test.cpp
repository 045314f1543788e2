// Tests of the credential lookup by URL: the descent along the URL's prefixes and repeated lookups.
#include "core/credentials/credential_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pelldra {
namespace {

CAuthRecord Record(const std::string& key, const std::string& user)
{
    CAuthRecord r;
    r.SetSiteName("name of " + key);
    r.SetSiteUrl(key);
    r.SetUserId(user);
    r.SetPassword("pw-" + user);
    r.SetPageUrl(key + "index.html");
    return r;
}

struct Step
{
    std::string key;  // "" : not found
    std::string user; // whose record answered
};

struct LookupCase
{
    const char* what;
    std::vector<std::pair<std::string, std::string>> records; // key, user
    std::string url;
    std::vector<Step> steps; // the first lookup, then each repeated lookup with the key returned before
};

TEST(CredentialLookup, DescentAndRepeatedLookups)
{
    const LookupCase cases[] = {
        {"deepest record wins, repeats climb to the host",
         {{"http://h/a/", "ua"}, {"http://h/a/b/", "ub"}},
         "http://h/a/b/c.jpg",
         {{"http://h/a/b/", "ub"}, {"http://h/a/", "ua"}, {"http://h/", "ua"}, {"http://h/", "ua"}}},
        {"a deeper record answers a shallower URL under the prefix they share",
         {{"http://h/a/b/", "ub"}},
         "http://h/a/c.jpg",
         {{"http://h/a/", "ub"}, {"http://h/", "ub"}}},
        {"the server part without its slash is never a key", {{"http://h", "u"}}, "http://h/a/c.jpg", {{"", ""}}},
        {"the full URL as key",
         {{"http://h/a/b/c.jpg", "u"}},
         "http://h/a/b/c.jpg",
         {{"http://h/a/b/c.jpg", "u"}, {"http://h/a/b/", "u"}, {"http://h/a/", "u"}}},
        {"another host", {{"http://h2/a/", "u"}}, "http://h/a/c.jpg", {{"", ""}}},
        {"another directory of the same host answers",
         {{"http://h/z/", "uz"}},
         "http://h/a/b.jpg",
         {{"http://h/", "uz"}}},
        {"the host record when no directory fits",
         {{"http://h/", "root"}, {"http://h/a/", "ua"}},
         "http://h/b/c.jpg",
         {{"http://h/", "root"}}},
        {"a longer directory name is not the directory",
         {{"http://h/ab/", "uab"}},
         "http://h/a/x.jpg",
         {{"http://h/", "uab"}}},
        {"siblings after the parent are searched",
         {{"http://h/a/", "ua"}, {"http://h/a/b/", "ub"}, {"http://h/a/c/", "uc"}},
         "http://h/a/c/x.jpg",
         {{"http://h/a/c/", "uc"}, {"http://h/a/", "ua"}, {"http://h/", "ua"}}},
        {"first record under the host, not the nearest",
         {{"http://h/a/", "ua"}, {"http://h/b/", "ub"}},
         "http://h/c/x.jpg",
         {{"http://h/", "ua"}}},
        {"https", {{"https://h/a/", "u"}}, "https://h/a/x.jpg", {{"https://h/a/", "u"}}},
        {"upper-case scheme passes, matching is case-sensitive",
         {{"HTTP://h/a/", "u"}},
         "HTTP://h/a/x.jpg",
         {{"HTTP://h/a/", "u"}}},
        {"case of the scheme must match the key", {{"http://h/a/", "u"}}, "HTTP://h/a/x.jpg", {{"", ""}}},
        {"ftp", {{"ftp://h/a/", "u"}}, "ftp://h/a/x.jpg", {{"", ""}}},
        {"no colon", {{"h/a/", "u"}}, "h/a/x.jpg", {{"", ""}}},
        {"colon last", {{"http:", "u"}}, "http:", {{"", ""}}},
        {"empty URL", {{"http://h/", "u"}}, "", {{"", ""}}},
        {"URL without a path", {{"http://h/", "u"}}, "http://h", {{"http://h/", "u"}}},
        {"query string", {{"http://h/a/", "u"}}, "http://h/a/show?id=3/4", {{"http://h/a/", "u"}}},
    };
    for (const LookupCase& c : cases) {
        std::vector<CAuthRecord> records;
        for (const auto& [key, user] : c.records)
            records.push_back(Record(key, user));
        std::sort(records.begin(), records.end(),
                  [](const CAuthRecord& a, const CAuthRecord& b) { return a.GetSiteUrl() < b.GetSiteUrl(); });
        std::string previous;
        for (size_t s = 0; s < c.steps.size(); ++s) {
            const Step& want = c.steps[s];
            CAuthRecord query;
            query.SetPageUrl(c.url);
            query.SetSiteUrl(previous);
            const CAuthRecord before = query;
            const int r = FindCredential(records, query);
            if (want.key.empty()) {
                EXPECT_EQ(r, -1) << c.what << ", step " << s;
                EXPECT_EQ(query, before) << c.what << ", step " << s;
                continue;
            }
            ASSERT_EQ(r, 0) << c.what << ", step " << s;
            EXPECT_EQ(query.GetSiteUrl(), want.key) << c.what << ", step " << s;
            EXPECT_EQ(query.GetUserId(), want.user) << c.what << ", step " << s;
            previous = query.GetSiteUrl();
        }
    }
}

TEST(CredentialLookup, AnswerCarriesTheChosenRecord)
{
    const std::vector<CAuthRecord> records = {Record("http://h/a/b/", "u")};
    CAuthRecord query;
    query.SetPageUrl("http://h/a/c.jpg");
    ASSERT_EQ(FindCredential(records, query), 0);
    CAuthRecord want = records[0];
    want.SetSiteUrl("http://h/a/");
    EXPECT_EQ(query, want); // every field is the record's, the key is the matching prefix
}

} // namespace
} // namespace pelldra
