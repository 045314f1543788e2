// The job record's key-line reader, update-link block and Basic credentials.
#include "core/sequence/download_job.h"

#include <array>

#include "core/text/encoding.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

void AddLine(std::string& out, const char* key, const std::string& value)
{
    out += key;
    out += LineBreaksToBlanks(value); // a value must stay on its own line of the block
    out += "\r\n";
}

void AddLine(std::string& out, const char* key, int32_t value)
{
    out += key;
    out += std::to_string(value);
    out += "\r\n";
}

} // namespace

bool DownloadJob::ReadListLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.size() < 6)
        return false;
    const std::string_view key = line.substr(0, 6);
    const std::string_view value = line.substr(6);
    struct KeyField
    {
        std::string_view key;
        std::string DownloadJob::*field;
    };
    static const std::array<KeyField, 7> keys = {{
        {"Refe: ", &DownloadJob::Refe},
        {"Agen: ", &DownloadJob::Agen},
        {"User: ", &DownloadJob::User},
        {"Pass: ", &DownloadJob::Pass},
        {"Targ: ", &DownloadJob::Targ},
        {"Dest: ", &DownloadJob::Dest},
        {"Cook: ", &DownloadJob::Cook},
    }};
    for (const KeyField& k : keys) {
        if (key == k.key) {
            (this->*k.field).assign(value);
            return k.field == &DownloadJob::Dest;
        }
    }
    return false;
}

std::string DownloadJob::UpdateLinkBlock() const
{
    std::string out;
    out += "\t//{{TOP\r\n";
    AddLine(out, "User: ", User);
    AddLine(out, "Pass: ", Pass);
    AddLine(out, "Agen: ", Agen);
    AddLine(out, "Refe: ", Refe);
    AddLine(out, "Targ: ", Targ);
    AddLine(out, "Meth: ", Meth);
    AddLine(out, "Argu: ", Argu);
    AddLine(out, "Dest: ", Dest);
    AddLine(out, "Cook: ", Cook);
    AddLine(out, "Prox: ", Prox);
    AddLine(out, "ByPa: ", ByPa);
    AddLine(out, "Cash: ", Cash);
    AddLine(out, "Seri: ", Seri);
    AddLine(out, "Relo: ", Relo);
    AddLine(out, "Modi: ", Modi);
    AddLine(out, "Load: ", Load);
    AddLine(out, "Name: ", Name);
    AddLine(out, "Head: ", UrlEncode(Head));
    out += "\tEND}}//\r\n";
    return out;
}

std::string DownloadJob::BasicAuthorization() const
{
    return "Authorization: Basic " + Base64(User + ":" + Pass) + "\r\n";
}

} // namespace pelldra
