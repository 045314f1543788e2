// ShownWindow: the main window as on a first start, its messages recorded; Gate: a request held while a test acts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/settings/settings_file.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/folder_edit.h"
#include "support/http_test_server.h"

namespace pelldra::test {

inline QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// Takes away what an earlier window of the test kept, so that the next one starts as on a first start.
struct FirstStart
{
    FirstStart() { std::remove(SettingsFilePath().c_str()), std::remove(KeptOrderFilePath().c_str()); }
};

// A shown window saving into `folder` when one is given.
struct ShownWindow
{
    explicit ShownWindow(const std::string& folder = {}, CPelldraDlg::Options options = {}) : dlg(nullptr, options)
    {
        dlg.show();
        if (!folder.empty())
            dlg.FolderEdit()->setText(Q(folder));
    }
    FirstStart firstStart;
    MessageHook hook;
    CPelldraDlg dlg;
};

// Holds its requests until opened (at the latest when it goes, or after 20 s), so a run stays busy meanwhile.
struct Gate
{
    std::shared_ptr<std::atomic<bool>> open = std::make_shared<std::atomic<bool>>(false);
    ~Gate() { *open = true; }
    TestHandler Handler(std::string body) const
    {
        return [flag = open, body](const TestRequest&) {
            for (int i = 0; i < 2000 && !*flag; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return TestResponse{200, {}, body, "image/jpeg"};
        };
    }
};

} // namespace pelldra::test
