// Save paths and save-path templates that come from typed text or from files: what may be used, and where.
#pragma once

#include <string>
#include <string_view>

namespace pelldra {

// The refusal of a template the user typed for part of a save path (name or subfolder), or "" when it may be
// used: it must not climb out of the folder (a ".." component) nor hold a control character. what names the
// part in the message ("保存時ファイル名", "サブフォルダ").
std::string TemplateRefusal(std::string_view text, std::string_view what);

// A relative save path from a file means a place in the order's folder, not in whatever folder the process
// happens to run in. A path that already begins with the folder is kept.
std::string ResolveDest(const std::string& dest, const std::string& folder);

// The refusal of a job's save path, or "" when it may be used: it must name a file, and below the folder the
// user chose (the part up to folder, when the path begins with it) the rules of TemplateRefusal hold.
std::string DestRefusal(std::string_view dest, std::string_view folder);

} // namespace pelldra
