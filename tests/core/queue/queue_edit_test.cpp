// Saving an edited copy of the queue while others append to it and take from it.
#include <gtest/gtest.h>

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
    for (const char* n : {"a", "b", "c", "e", "e"})
        ASSERT_EQ(other.Append(Named(n)), 0);
    ASSERT_EQ(edit.LoadAll(), 5);

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

    // Saved again, or after a take-out, the later orders stay behind the user's.
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(InFile(folder), "cede");
    ASSERT_EQ(edit.RemoveAt(0), 0);
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(InFile(folder), "ede");
}

} // namespace
} // namespace pelldra
