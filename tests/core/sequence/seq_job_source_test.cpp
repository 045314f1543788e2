// The series job source: job order, templates, the end of open series and subfolders.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <tuple>

#include "core/sequence/seq_job_source.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

SeriesOrder Series(const std::string& st1, const std::string& ed1, int fx1, const std::string& st2 = "",
                   const std::string& ed2 = "", int fx2 = 0)
{
    SeriesOrder it;
    it.job.Targ = "http://h/*/a*";
    it.job.Dest = "/dl/*-*.jpg";
    it.St1 = st1;
    it.Ed1 = ed1;
    it.Fx1 = fx1;
    it.St2 = st2;
    it.Ed2 = ed2;
    it.Fx2 = fx2;
    return it;
}

// Plays a script on a fresh source: 'n' asks for the next job, 'S' and 'F' report the oldest unreported job as a
// success or a failure, 's' and 'f' the newest, 'X' reports a failure of a job never issued. Gives what each 'n'
// issued ("upper/lower", the part after "http://h/"), "wait" for nothing now, or "end".
std::string Play(const SeriesOrder& item, const std::string& script)
{
    CSeqJobSource source;
    source.Load(item);
    std::deque<DownloadJob> outstanding;
    std::string log;
    for (const char step : script) {
        DownloadJob job;
        if (step == 'n') {
            const CSeqJobSource::Next next = source.NextJob(job);
            log += log.empty() ? "" : " ";
            if (next == CSeqJobSource::Next::Job) {
                log += job.Targ.substr(9);
                outstanding.push_back(job);
            } else {
                log += next == CSeqJobSource::Next::Over ? "end" : "wait";
            }
        } else if (step == 'X') {
            job.Targ = "http://elsewhere/";
            source.ReportFailure(job);
        } else {
            const bool oldest = step == 'S' || step == 'F';
            job = oldest ? outstanding.front() : outstanding.back();
            oldest ? outstanding.pop_front() : outstanding.pop_back();
            step == 'S' || step == 's' ? source.ReportSuccess(job) : source.ReportFailure(job);
        }
    }
    return log;
}

TEST(SeqJobSource, OrderAndEndOfTheSeries)
{
    // With an open lower end the series of an upper number ends when a failure lies beyond its last success.
    const std::tuple<const char*, SeriesOrder, const char*, const char*> cases[] = {
        {"lower only", Series("8", "11", 0), "nnnnnn", "*/a8 */a9 */a10 */a11 end end"},
        {"fixed width", Series("08", "11", 2), "nnnnn", "*/a08 */a09 */a10 */a11 end"},
        {"upper outer, lower fastest", Series("1", "3", 0, "1", "2"), "nnnnnnnn",
         "1/a1 1/a2 1/a3 2/a1 2/a2 2/a3 end end"},
        {"widths of both", Series("9", "10", 3, "099", "100", 3), "nnnnn", "099/a009 099/a010 100/a009 100/a010 end"},
        {"no lower field: one job, the star takes nothing", Series("", "", 0), "nnn", "*/a end end"},
        {"start equals end", Series("5", "5", 0), "nn", "*/a5 end"},
        {"numbers beyond a machine word", Series("99999999999999999999", "100000000000000000001", 0), "nnnn",
         "*/a99999999999999999999 */a100000000000000000000 */a100000000000000000001 end"},
        {"failure beyond the last success steps the upper number", Series("1", "", 0, "1", "", 0), "nnnnnnSSSSSFnFn",
         "1/a1 1/a2 1/a3 1/a4 1/a5 1/a6 2/a1 end"},
        {"a gap inside the series goes on", Series("1", "", 0), "nnnnSSFSnFn", "*/a1 */a2 */a3 */a4 */a5 end"},
        {"failure with no success ends the series", Series("1", "", 0, "1", "5", 0), "nFn", "1/a1 end"},
        {"upper end stops the stepping", Series("1", "", 0, "1", "2", 0), "nnSFnnSFn", "1/a1 1/a2 2/a1 2/a2 end"},
        {"a failure report of an unknown URL changes nothing", Series("1", "", 0), "nXn", "*/a1 */a2"},
        // With several jobs out a missing file comes back before the files in front of it: they decide.
        {"a failure waits for the files in front of it", Series("1", "", 0, "1", "", 0), "nnnnfnSSnSn",
         "1/a1 1/a2 1/a3 1/a4 wait wait 2/a1"},
        {"nothing in front of the failure arrives", Series("1", "", 0, "1", "", 0), "nnnfnFnFn",
         "1/a1 1/a2 1/a3 wait wait end"},
        {"a file beyond the failure makes it a gap", Series("1", "", 0), "nnnnFsn", "*/a1 */a2 */a3 */a4 */a5"},
        // An open upper range with a closed lower one ends at the first upper number without a file.
        {"open upper: a number without files ends it", Series("1", "2", 0, "3", "", 0), "nnnFFn", "3/a1 3/a2 4/a1 end"},
        {"open upper: a number with a file goes on", Series("1", "2", 0, "3", "", 0), "nnnSFnFnFn",
         "3/a1 3/a2 4/a1 4/a2 5/a1 end"}};
    for (const auto& [name, item, script, issued] : cases)
        EXPECT_EQ(Play(item, script), issued) << name;
}

TEST(SeqJobSource, RefererFollowsTheSyncedNumbers)
{
    // Sync flags, upper number, Referer template and the Referer sent. The upper number fills the last '*' that the
    // lower number left, as in every template; without an upper field the upper sync changes nothing.
    const std::tuple<int, const char*, const char*, const char*> cases[] = {
        {0, "7", "r/*/p*", "r/*/p*"}, {1, "7", "r/*/p*", "r/*/p05"}, {2, "7", "r/p*", "r/p7"},
        {2, "7", "r/*/p*", "r/*/p7"}, {3, "7", "r/*/p*", "r/7/p05"}, {2, "", "r/p*", "r/p*"}};
    for (const auto& [syn, upper, templ, referer] : cases) {
        SeriesOrder it = Series("05", "05", 2, upper, upper);
        it.Syn = syn;
        it.job.Refe = templ;
        it.job.Agen = "agent";
        CSeqJobSource source;
        source.Load(it);
        DownloadJob job;
        ASSERT_EQ(source.NextJob(job), CSeqJobSource::Next::Job);
        EXPECT_EQ(job.Refe, referer) << syn << " " << templ;
        EXPECT_EQ(job.Agen, "agent");
    }
}

TEST(SeqJobSource, BothEndsOpenAndEverythingThereRunsUntilTheCallerStops)
{
    DownloadJob job;
    CSeqJobSource allGood;
    allGood.Load(Series("1", "", 0, "1", "", 0));
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(allGood.NextJob(job), CSeqJobSource::Next::Job) << i;
        allGood.ReportSuccess(job);
    }
    EXPECT_EQ(job.Targ, "http://h/1/a2000");
}

TEST(SeqJobSource, EachJobNamesItsSubfolderAndNoneIsMadeInAdvance)
{
    test::TempEnv env;
    // Save folder, subfolder template, the folder each job of upper number 3 names.
    const std::tuple<std::string, const char*, std::string> cases[] = {
        {env.root() + "/dl", "a/b*/c", env.root() + "/dl/a/b3/c"},
        {env.root() + "/dl/", "v*", env.root() + "/dl/v3"},
        {env.root() + "/dl", "", ""}};
    for (const auto& [fol, sub, folder] : cases) {
        SeriesOrder it = Series("1", "2", 0, "3", "3", 0);
        it.Fol = fol;
        it.Sub = sub;
        CSeqJobSource source;
        source.Load(it);
        DownloadJob job;
        for (int i = 0; i < 2; ++i) {
            std::string named = "?";
            ASSERT_EQ(source.NextJob(job, &named), CSeqJobSource::Next::Job);
            EXPECT_EQ(named, folder) << sub;
        }
    }
    EXPECT_FALSE(test::FileExists(env.root() + "/dl"));
}

} // namespace
} // namespace pelldra
