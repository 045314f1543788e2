// CContentTypeTable: media types and their file extensions, and the file-type check of an answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelldra {

// Entries are "type<TAB>ext ext ...", sorted by type in byte order, each type once; the first extension is the
// type's preferred one. Filled before the transfers get it and only read by them afterwards, so it has no lock.
class CContentTypeTable
{
public:
    // The table with the program's built-in entries.
    CContentTypeTable();
    // A table with no entries (tests and callers that build their own).
    struct Empty
    {
    };
    explicit CContentTypeTable(Empty) {}

    // Normalises entry (trimmed, lower case, "type<TAB>extensions") and inserts it, replacing an entry of the same
    // type. False when the entry is not valid; the table is then unchanged.
    bool Add(const std::string& entry);

    // 0: a known type whose extensions include ext, or ext was empty and became the type's first extension.
    // -1: a known type whose extensions do not include ext; ext became the type's first extension.
    // 1: a type not in the table (ext unchanged).
    // Parameters after ';' are ignored, so "text/html; charset=utf-8" is text/html.
    int Lookup(const std::string& contentType, std::string& ext) const;

    const std::vector<std::string>& Entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
};

struct TypeCheck
{
    bool refuse = false;  // the answer is not the kind of file that was asked for
    std::string savePath; // non-empty: save under this path (changed extension) instead of dest; not yet unique
};

// Compares the answer's Content-Type with the extensions of the requested URL's path (targ, without its query) and
// of the save path (dest). relo non-zero accepts a file of another type under the extension of that type. table may
// be null: then only the extensions decide, as they do for application/octet-stream and an answer without a type.
TypeCheck CheckType(const std::string& contentType, const std::string& targ, const std::string& dest, int32_t relo,
                    const CContentTypeTable* table);

} // namespace pelldra
