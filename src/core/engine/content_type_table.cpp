// Media type table and the file-type check of an answer.
#include "core/engine/content_type_table.h"

#include <algorithm>
#include <string_view>

#include "core/text/text_utils.h"

namespace pelldra {

using namespace std::string_view_literals;

namespace {

constexpr const char* kBuiltIn[] = {
    "application/octet-stream\tbin dms lha lzh exe class so dll",
    "audio/x-pn-realaudio\tram rm",
    "audio/x-realaudio\tra",
    "audio/x-wav\twav",
    "image/bmp\tbmp",
    "image/cgm\tcgm",
    "image/gif\tgif",
    "image/ief\tief",
    "image/jpeg\tjpeg jpg jpe",
    "image/png\tpng",
    "image/svg+xml\tsvg",
    "image/tiff\ttiff tif",
    "image/vnd.djvu\tdjvu djv",
    "image/vnd.wap.wbmp\twbmp",
    "image/x-cmu-raster\tras",
    "image/x-icon\tico",
    "image/x-portable-anymap\tpnm",
    "image/x-portable-bitmap\tpbm",
    "image/x-portable-graymap\tpgm",
    "image/x-portable-pixmap\tppm",
    "image/x-rgb\trgb",
    "image/x-xbitmap\txbm",
    "image/x-xpixmap\txpm",
    "image/x-xwindowdump\txwd",
    "text/html\thtml htm",
    "text/plain\tasc txt",
    "text/richtext\trtx",
    "text/rtf\trtf",
    "video/mpeg\tmpeg mpg mpe",
    "video/quicktime\tqt mov",
    "video/vnd.mpegurl\tmxu",
    "video/x-msvideo\tavi",
    "video/x-sgi-movie\tmovie",
};

std::string_view TypeOf(const std::string& entry)
{
    return std::string_view(entry).substr(0, entry.find('\t'));
}

std::string_view ExtensionsOf(const std::string& entry)
{
    const size_t tab = entry.find('\t');
    return tab == std::string::npos ? std::string_view() : std::string_view(entry).substr(tab + 1);
}

// The file name of a URL's path: a query or a fragment names nothing.
std::string_view UrlFileName(std::string_view url)
{
    return LastPathPart(url.substr(0, std::min(url.find('?'), url.find('#'))));
}

bool IsUnknownType(const std::string& contentType)
{
    std::string_view type = TrimBlanks(contentType);
    type = TrimBlanks(type.substr(0, type.find(';')));
    return type.empty() || EqualsNoCase(type, "application/octet-stream"sv);
}

} // namespace

CContentTypeTable::CContentTypeTable()
{
    for (const char* entry : kBuiltIn)
        Add(entry);
}

bool CContentTypeTable::Add(const std::string& text)
{
    const std::string s = AsciiLower(std::string(TrimBlanks(text)));
    if (s.empty() || s[0] < 'a' || s[0] > 'z')
        return false;
    const size_t tab = s.find('\t');
    if (tab == std::string::npos || tab + 1 == s.size())
        return false;
    const std::string type = s.substr(0, tab);
    const std::string_view ext = TrimBlanks(std::string_view(s).substr(tab + 1));
    if (ext.empty())
        return false;
    std::string entry = type + "\t" + std::string(ext);

    const auto pos = std::lower_bound(entries_.begin(), entries_.end(), type,
                                      [](const std::string& e, const std::string& t) { return TypeOf(e) < t; });
    if (pos != entries_.end() && TypeOf(*pos) == type)
        *pos = std::move(entry);
    else
        entries_.insert(pos, std::move(entry));
    return true;
}

int CContentTypeTable::Lookup(const std::string& contentType, std::string& ext) const
{
    std::string type = AsciiLower(std::string(TrimBlanks(contentType)));
    // "text/html; charset=utf-8" must still be caught as HTML when an image was asked for.
    if (const size_t semi = type.find(';'); semi != std::string::npos)
        type = std::string(TrimBlanks(std::string_view(type).substr(0, semi)));
    const std::string wanted = AsciiLower(ext);

    for (const std::string& entry : entries_) {
        const std::string_view t = TypeOf(entry);
        if (t < type)
            continue;
        if (t > type)
            return 1;
        const std::string_view exts = ExtensionsOf(entry);
        const std::string_view first = exts.substr(0, exts.find(' '));
        if (wanted.empty()) {
            ext = first;
            return 0;
        }
        if (exts.empty())
            return 1;
        // A plain substring search, so a part of a listed extension counts as listed.
        if (exts.find(wanted) != std::string_view::npos) {
            ext = wanted;
            return 0;
        }
        ext = first;
        return -1;
    }
    return 1;
}

TypeCheck CheckType(const std::string& contentType, const std::string& targ, const std::string& dest, int32_t relo,
                    const CContentTypeTable* table)
{
    TypeCheck out;
    const std::string_view urlName = UrlFileName(targ);
    std::string urlExt = AsciiLower(std::string(ExtensionPart(urlName)));
    std::string_view savedExt = ExtensionPart(dest);
    // A list names a file after its URL with the query joined on ("pic.jpg?x=1" saved as "pic.jpg_x=1"): such a
    // name has the URL's extension.
    const std::string_view saveName = std::string_view(dest).substr(dest.rfind('/') + 1); // npos + 1 is 0
    if (!urlExt.empty() && saveName.size() > urlName.size() && saveName.starts_with(urlName) &&
        std::string_view("_?#").find(saveName[urlName.size()]) != std::string_view::npos)
        savedExt = urlName.substr(urlName.size() - urlExt.size());
    std::string saveExt = AsciiLower(std::string(savedExt));
    // Bytes of no particular kind: the name asked for says what they are.
    if (IsUnknownType(contentType))
        table = nullptr;

    if (table && table->Lookup(contentType, urlExt) == -1 && relo == 0) {
        out.refuse = true;
        return out;
    }
    if (urlExt == saveExt)
        return out;
    if (table) {
        const int r = table->Lookup(contentType, saveExt);
        if (r == 0) {
            if (savedExt.empty())
                out.savePath = ChangeExtension(dest, saveExt);
            return out;
        }
        if (r == -1) {
            if (relo != 0)
                out.savePath = ChangeExtension(dest, saveExt);
            else
                out.refuse = true;
            return out;
        }
    }
    out.refuse = urlExt.empty() && relo == 0;
    return out;
}

} // namespace pelldra
