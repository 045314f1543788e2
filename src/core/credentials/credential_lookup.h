// Which stored credential answers a URL: a descent along the URL's directory prefixes.
#pragma once

#include <vector>

#include "core/credentials/auth_record.h"

namespace pelldra {

// records: sorted by SiteUrl in byte order, each key once (as CNinshoCenter keeps them).
// Reads query's PageUrl (the request URL) and SiteUrl (empty on the first lookup for a request, else the key the
// previous lookup returned). The deepest prefix of the URL under which some record lies wins; a repeated lookup
// stops one level above the previous key. Found: 0, query becomes the chosen record with SiteUrl set to the matching
// key. Not found (also for schemes other than http and https): -1, query unchanged.
int FindCredential(const std::vector<CAuthRecord>& records, CAuthRecord& query);

} // namespace pelldra
