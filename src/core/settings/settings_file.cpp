// Reading every version of PELLDRA.INI and writing version 5; reading and writing PreSetting.ini.
#include "core/settings/settings_file.h"

#include <sys/stat.h>

#include "core/platform/files.h"
#include "core/platform/folders.h"
#include "core/queue/queue_item.h"
#include "core/settings/archive.h"

namespace pelldra {

namespace {

constexpr std::string_view kVersionPrefix = "File version ";
constexpr const char* kVersionLine = "File version 5.00";
constexpr int kBlockVersion = 7;

// 1 for a file whose third text is no version line; 0 when the line names no version.
int VersionOf(const std::string& line)
{
    if (line.compare(0, kVersionPrefix.size(), kVersionPrefix) != 0)
        return 1;
    const size_t at = kVersionPrefix.size();
    return line.size() > at && line[at] >= '0' && line[at] <= '9' ? line[at] - '0' : 0;
}

// A settings file is small and regular: a FIFO or a device put in its place must not hang or flood the start.
bool IsPlainSmallFile(const std::string& path)
{
    constexpr off_t kMaxBytes = 16 << 20;
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxBytes;
}

bool AllDigits(const std::string& s)
{
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

class SettingsReader
{
public:
    SettingsReader(std::string_view bytes, ArchiveReader::Texts texts) : in_(bytes, texts) {}

    bool TextsWereUtf8() const { return in_.TextsWereUtf8(); }

    // False when the file ends early, is damaged or is of a version this program does not know.
    bool Read(StoredSettings& s)
    {
        std::string line;
        if (!in_.Text(s.url) || !Optional(s.folder) || !in_.Text(line))
            return false;
        return ReadVersion(VersionOf(line), s);
    }

private:
    // The items after the version line; false where the file ends early.
    bool ReadVersion(int version, StoredSettings& s)
    {
        DetailSettings& d = s.detail;
        int obsolete = 0;
        std::string obsoleteText;
        switch (version) {
        case 5:
            return in_.Text(s.appText) && Block(d) && in_.Int(d.RecordPassword) && in_.Int(s.FixedWidth) &&
                   Mode(s.jobMode);
        case 4:
            return in_.Text(s.appText) && Block(d) && in_.Int(obsolete) && Credentials(d) && in_.Int(d.Browser) &&
                   in_.Int(s.FixedWidth) && Mode(s.jobMode);
        case 3:
        case 2:
            return in_.Text(s.appText) && Block(d) && Range(s.lowerFrom) && Range(s.lowerTo) && in_.Int(obsolete) &&
                   Credentials(d) && Optional(s.saveName) && in_.Int(s.FixedWidth) && in_.Text(obsoleteText) &&
                   in_.Int(d.Browser) && (version == 2 || Mode(s.jobMode));
        case 1:
            return in_.Int(obsolete) && Credentials(d) && in_.Int(obsolete) && Optional(s.saveName) &&
                   in_.Int(s.FixedWidth) && in_.Int(d.BossKey) && in_.Int(d.SameFolderAsLinkScout) &&
                   in_.Text(obsoleteText) && in_.Text(d.Referer) && in_.Int(d.Browser) && Range(s.lowerFrom) &&
                   Range(s.lowerTo);
        default:
            return false; // a version this program does not know: nothing after its line is understood
        }
    }

    // Any number: one the program does not know is put right once the whole file is read.
    bool Mode(JobMode& mode)
    {
        int stored = 0;
        if (!in_.Int(stored))
            return false;
        mode = static_cast<JobMode>(stored);
        return true;
    }

    bool Optional(std::optional<std::string>& to)
    {
        std::string text;
        if (!in_.Text(text))
            return false;
        to = std::move(text);
        return true;
    }

    bool Range(std::optional<std::string>& to)
    {
        std::string text;
        if (!in_.Text(text))
            return false;
        if (AllDigits(text))
            to = std::move(text);
        return true;
    }

    bool Credentials(DetailSettings& d)
    {
        return in_.Int(d.RecordPassword) && in_.Text(d.AuthUser) && in_.Text(d.AuthPassword);
    }

    // The detail block; older blocks lack items, whose values the block's version decides.
    bool Block(DetailSettings& d)
    {
        int v = 0;
        if (!in_.Int(v))
            return false;
        if (v < 2) {
            // The oldest block has no version: its first integer is the boss key.
            d.BossKey = v;
            v = 2;
        } else if (!in_.Int(d.BossKey)) {
            return false;
        }
        if (!(in_.Int(d.SameFolderAsLinkScout) && in_.Text(d.Referer) && in_.Int(d.UseProxy) && in_.Text(d.ProxyHost) &&
              in_.Text(d.ProxyPort) && in_.Int(d.NoProxyForLocal) && in_.Int(d.UseCache)))
            return false;
        if (v < 3) {
            d.Browser = kBrowserMsie;
            d.WholeSequence = 1;
        } else if (!(in_.Int(d.Browser) && in_.Int(d.WholeSequence))) {
            return false;
        }
        if (v < 4) {
            d.Speed = 0;
            d.AcceptOtherFile = 0;
            d.assumeFixedDigits = 0;
            d.Reserved = 0;
            d.syncFlags = 3;
        } else {
            int sync = 0;
            if (!(in_.Int(d.Speed) && in_.Int(d.AcceptOtherFile) && in_.Int(d.assumeFixedDigits) &&
                  in_.Int(d.Reserved) && in_.Int(sync)))
                return false;
            // Blocks 4 and 5 kept a "no sync" flag there.
            d.syncFlags = v <= 5 ? (sync == 0 ? 3 : 0) : sync;
        }
        if (v < 5)
            d.NoUpdateLinks = 1;
        else if (!in_.Int(d.NoUpdateLinks))
            return false;
        if (v < kBlockVersion)
            return true;
        return in_.Int(d.UseCredentialManager) && in_.Int(d.ConfirmUserAtStart) && in_.Text(d.AuthUser) &&
               in_.Int(d.RecordPassword) && in_.Text(d.AuthPassword) && in_.Int(d.Browser);
    }

    ArchiveReader in_;
};

void WriteBlock(ArchiveWriter& out, const DetailSettings& d)
{
    out.Int(kBlockVersion);
    out.Int(d.BossKey);
    out.Int(d.SameFolderAsLinkScout);
    out.Text(d.Referer);
    out.Int(d.UseProxy);
    out.Text(d.ProxyHost);
    out.Text(d.ProxyPort);
    out.Int(d.NoProxyForLocal);
    out.Int(d.UseCache);
    out.Int(d.Browser);
    out.Int(d.WholeSequence);
    out.Int(d.Speed);
    out.Int(d.AcceptOtherFile);
    out.Int(d.assumeFixedDigits);
    out.Int(d.Reserved);
    out.Int(d.syncFlags);
    out.Int(d.NoUpdateLinks);
    out.Int(d.UseCredentialManager);
    out.Int(d.ConfirmUserAtStart);
    out.Text(d.AuthUser);
    out.Int(d.RecordPassword);
    out.Text(d.RecordPassword ? d.AuthPassword : std::string());
    out.Int(d.Browser);
}

} // namespace

StoredSettings ParseSettings(std::string_view bytes, bool* complete)
{
    StoredSettings s;
    SettingsReader asStored(bytes, ArchiveReader::Texts::AsStored);
    bool whole = asStored.Read(s);
    if (!asStored.TextsWereUtf8()) {
        // Decided for the whole file: a CP932 text that happens to be valid UTF-8 must not be taken as such.
        s = StoredSettings{};
        whole = SettingsReader(bytes, ArchiveReader::Texts::FromCp932).Read(s);
    }
    if (complete)
        *complete = whole;
    if (s.FixedWidth < 0 || s.FixedWidth > kMaxStoredWidth)
        s.FixedWidth = StoredSettings{}.FixedWidth;
    if (s.jobMode != JobMode::Sequential && s.jobMode != JobMode::List && s.jobMode != JobMode::LinkScoutList)
        s.jobMode = JobMode::Sequential;
    return s;
}

std::string FormatSettings(const StoredSettings& s)
{
    ArchiveWriter out;
    out.Text(s.url);
    out.Text(s.folder.value_or(""));
    out.Text(kVersionLine);
    out.Text(s.appText);
    WriteBlock(out, s.detail);
    out.Int(s.detail.RecordPassword);
    out.Int(s.FixedWidth);
    out.Int(static_cast<int32_t>(s.jobMode));
    return out.bytes();
}

std::string SettingsFilePath()
{
    return GetProgramFolder() + "/PELLDRA.INI";
}

std::string KeptOrderFilePath()
{
    return GetProgramFolder() + "/PreSetting.ini";
}

StoredSettings LoadSettingsFile(const std::string& path)
{
    std::string bytes;
    if (!IsPlainSmallFile(path) || !ReadWholeFile(path, bytes))
        return StoredSettings{};
    bool complete = true;
    StoredSettings s = ParseSettings(bytes, &complete);
    // The window writes its own version over it when it goes: a newer version's file, or a damaged one, is kept
    // beside it first, so that its settings are not lost.
    if (!complete && !bytes.empty())
        (void)ReplaceFileAtomically(path + ".bad", bytes, 0600);
    if (s.folder) {
        std::string checked = *s.folder;
        if (CheckFolder(checked) != 0)
            s.folder = GetHomeFolder();
    }
    return s;
}

int SaveSettingsFile(const std::string& path, const StoredSettings& settings)
{
    return ReplaceFileAtomically(path, FormatSettings(settings), 0600);
}

bool LoadKeptOrder(const std::string& path, CQueueItem& item)
{
    item.Clear();
    return IsPlainSmallFile(path) && item.ReadFrom(path);
}

int SaveKeptOrder(const std::string& path, const CQueueItem& item)
{
    // The mark makes the reader take the bytes as they are, so a folder name that is not UTF-8 comes back exactly.
    return ReplaceFileAtomically(path, std::string(kOrderFileMark) + item.ToText(), 0600);
}

} // namespace pelldra
