// The settings file PELLDRA.INI (the main window's and the detail settings) and PreSetting.ini (the kept order).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/orders/detail_settings.h"
#include "core/orders/list_order.h"

namespace pelldra {

class CQueueItem;

// What PELLDRA.INI holds. A value the file does not reach keeps the default here.
struct StoredSettings
{
    std::string url;                   // the URL box's text; written for the record, the kept order has the URL
    std::optional<std::string> folder; // the folder box's text; absent when the file ends before it
    std::string appText;               // a text of the application, carried through unchanged
    DetailSettings detail;
    int FixedWidth = 2;
    JobMode jobMode = JobMode::Sequential;
    // Only files of versions 1 to 3 hold these; absent otherwise. Range texts that are not digits are dropped.
    std::optional<std::string> lowerFrom;
    std::optional<std::string> lowerTo;
    std::optional<std::string> saveName;

    bool operator==(const StoredSettings&) const = default;
};

// Widest fixed width taken from the file: a damaged value would otherwise pad every number of a series.
inline constexpr int kMaxStoredWidth = 255;

// Reads the bytes of a settings file of any version from 1 to 5; never fails. What follows damage or an unknown
// version keeps its default. Texts are UTF-8 when every text of the file is; otherwise the whole file is taken as
// code page 932, as the older program wrote it. Nothing here looks at the file system. complete, when given, is
// false when something of the file was not understood (damage, an early end, a newer version).
StoredSettings ParseSettings(std::string_view bytes, bool* complete = nullptr);
// The bytes of version 5 with the detail block of version 7. The password is written only when it is recorded.
std::string FormatSettings(const StoredSettings& settings);

std::string SettingsFilePath();  // PELLDRA.INI in the data folder
std::string KeptOrderFilePath(); // PreSetting.ini in the data folder

// A missing or unreadable file, or one that is not a plain file of at most 16 MiB, gives the defaults. A stored
// folder that fails the folder check comes back as the home folder. A file not wholly understood is copied to
// "<path>.bad" first.
StoredSettings LoadSettingsFile(const std::string& path);
// Replaces the file atomically, readable by the user alone (a recorded password is in it). 0 or an errno.
int SaveSettingsFile(const std::string& path, const StoredSettings& settings);

// The kept order: false (and item cleared) when there is none or the file is not a plain small one.
bool LoadKeptOrder(const std::string& path, CQueueItem& item);
// Replaces the file atomically with mode 0600. 0 or an errno.
int SaveKeptOrder(const std::string& path, const CQueueItem& item);

} // namespace pelldra
