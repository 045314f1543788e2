// Saving an edited copy of the queue while others append to it and take from it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "core/queue/wait_queue.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

CQueueItem Named(const std::string& name)
{
    CQueueItem it;
    it.Kind = CQueueItem::RENBAN;
    it.job.Targ = "http://h/" + name + "/a*.jpg";
    it.Fol = name;
    return it;
}

std::string Folders(const std::vector<CQueueItem>& items)
{
    std::string names;
    for (const CQueueItem& it : items)
        names += it.Fol;
    return names;
}

std::string InFile(const std::string& folder)
{
    CWaitQueue reader(folder);
    reader.LoadAll();
    return Folders(reader.Items());
}

TEST(QueueEdit, SavingKeepsOrdersAppendedMeanwhileAndDropsOrdersTakenMeanwhile)
{
    test::TempEnv env;
    const std::string folder = env.makeFolder("q");
    CWaitQueue edit(folder);  // the summary's copy
    CWaitQueue other(folder); // a run, LinkScout or pelldra-get in another process
    EXPECT_EQ(edit.LoadAll(), 0);
    for (const char* n : {"a", "b", "c", "e", "e"})
        ASSERT_EQ(other.Append(Named(n)), 0);
    ASSERT_EQ(edit.LoadAll(), 5);
    EXPECT_EQ(edit.RemoveAt(-1) + edit.RemoveAt(5) + edit.InsertAt(-1, Named("x")), 3); // bad indexes
    EXPECT_EQ(edit.ItemAt(5).Kind, -1);

    // The user deletes b and one of the two equal e, and moves c to the top.
    ASSERT_EQ(edit.RemoveAt(1), 0);
    ASSERT_EQ(edit.RemoveAt(3), 0);
    const CQueueItem c = edit.ItemAt(1);
    ASSERT_EQ(edit.RemoveAt(1), 0);
    ASSERT_EQ(edit.InsertAt(0, c), 0);
    // Meanwhile: an order arrives, another equal to one the user keeps, and a run elsewhere takes a.
    ASSERT_EQ(other.Append(Named("d")), 0);
    ASSERT_EQ(other.Append(Named("e")), 0);
    CQueueItem taken;
    ASSERT_EQ(other.TakeFirst(taken), TakeResult::Taken);
    ASSERT_EQ(taken.Fol, "a");

    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(InFile(folder), "cede");
    EXPECT_EQ(Folders(edit.Items()), "ce"); // a is running elsewhere: it must not come back
    struct stat st
    {
    };
    ASSERT_EQ(::stat(edit.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // orders may hold passwords

    // Saved again, or after a take-out, the later orders stay behind the user's; an index past the end appends.
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(InFile(folder), "cede");
    ASSERT_EQ(edit.RemoveAt(0), 0);
    ASSERT_EQ(edit.InsertAt(99, Named("f")), 0);
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(InFile(folder), "efde");

    // Emptied and saved, the file goes; saving again with nothing to delete is no failure.
    other.EndTakenRun();
    ASSERT_EQ(edit.LoadAll(), 4);
    while (edit.Count() > 0)
        ASSERT_EQ(edit.RemoveAt(0), 0);
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_FALSE(test::FileExists(edit.path()));
    EXPECT_EQ(edit.SaveAll(), 0);
}

} // namespace
} // namespace pelldra
