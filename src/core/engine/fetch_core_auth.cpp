// Answering 401s: the job's own credentials, the area other transfers share, the store and the user's prompt.
#include "core/engine/fetch_core.h"

#include <memory>
#include <optional>
#include <set>

#include "core/engine/auth_area_table.h"
#include "core/engine/credential_access.h"
#include "core/engine/engine_observer.h"
#include "core/engine/network.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

constexpr const char* kCancelled = "ダウンロードがキャンセルされました";
constexpr const char* kAuthRefused = "認証が否定されました";
constexpr const char* kBadAreaUrl = "ＵＲＬが正しくありません";

bool SameSite(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    const std::string site = SiteOf(a);
    return !site.empty() && site == SiteOf(b);
}

} // namespace

// What answering one request's 401s has learnt so far.
struct CFetchCore::AuthState
{
    // Credentials meant for the job's site answer only that site: another one that a redirect led to is asked as
    // a first request there would be, so that no password goes to a host the user never named.
    bool ownSite = true;
    std::string page;  // the URL the area, the store and the prompt go by
    Credentials given; // the job's own
    std::set<Credentials> rejected;
    std::optional<Credentials> sent;
    bool triedGiven = false;
    int area = -1;
    bool own = false; // this transfer asks the area's question
    bool settled = false;
    std::string storeKey; // the key of the last store record tried
};

bool CFetchCore::Authenticate(Response& r)
{
    if (r.status != 401)
        return true;
    AuthState s;
    s.ownSite = SameSite(url_, job_.Targ);
    s.page = s.ownSite ? job_.Targ : url_;
    if (s.ownSite)
        s.given = {job_.User, job_.Pass};
    else
        promptUsed_ = false; // the user has not been asked for this site yet
    // An area this transfer asks for must not stay pending when it leaves without an answer.
    struct Release
    {
        CAuthAreaTable& areas;
        const AuthState& s;
        const void* id;
        ~Release()
        {
            if (s.own && !s.settled)
                areas.Release(s.area, id);
        }
    } release{*context_.areas, s, this};

    while (r.status == 401) {
        if (s.sent)
            s.rejected.insert(*s.sent);
        if (IsCancelled()) {
            Fail(2, kCancelled);
            return false;
        }
        const std::optional<Credentials> next = NextCredentials(s);
        if (!next || !SendCredentials(*next, s, r))
            return false;
    }
    if (s.own)
        SettleArea(s);
    return true;
}

std::optional<Credentials> CFetchCore::NextCredentials(AuthState& s)
{
    // Credentials that came with the job go first, as a connection made with them would send them.
    if (!s.triedGiven && !s.given.first.empty()) {
        s.triedGiven = true;
        if (!s.rejected.count(s.given))
            return s.given;
    }
    if (s.area < 0) {
        Credentials known;
        const AreaStep step = JoinArea(s, known);
        if (step != AreaStep::Ask)
            return step == AreaStep::Send ? std::optional(known) : std::nullopt;
    } else if (!s.own) {
        // The area's credentials were rejected here; its user has been asked already.
        RefuseArea(s);
        return std::nullopt;
    }
    Credentials typed;
    const int source = AskCredentials(s.page, s.storeKey, s.rejected, typed);
    if (source < 0) {
        if (IsCancelled())
            Fail(2, kCancelled); // the area is released, not refused: the next transfer asks again
        else
            RefuseArea(s);
        return std::nullopt;
    }
    if (source == 1)
        context_.areas->SetPrefix(s.area, UpToLast(s.storeKey, '/'));
    return typed;
}

CFetchCore::AreaStep CFetchCore::JoinArea(AuthState& s, Credentials& known)
{
    CAuthAreaTable& areas = *context_.areas;
    const AreaAsker me{this, [this] { Cancel(); }, [this] { return IsCancelled(); }};
    const CAuthAreaTable::Found found = areas.FindArea(s.page, me);
    if (found.code == CAuthAreaTable::kCancelled) {
        Fail(2, kCancelled);
        return AreaStep::End;
    }
    if (found.code == CAuthAreaTable::kRefused) {
        RefuseArea(s);
        return AreaStep::End;
    }
    if (found.code >= 0 && !found.mustAsk) {
        s.area = found.code;
        known = {found.user, found.pass};
        if (!s.rejected.count(known))
            return AreaStep::Send;
        RefuseArea(s);
        return AreaStep::End;
    }
    s.area = found.code >= 0 ? found.code : areas.AddArea(s.page, me);
    if (s.area < 0) {
        Fail(2, kBadAreaUrl);
        return AreaStep::End;
    }
    s.own = true;
    return AreaStep::Ask;
}

bool CFetchCore::SendCredentials(const Credentials& c, AuthState& s, Response& r)
{
    if (IsCancelled()) {
        Fail(2, kCancelled);
        return false;
    }
    if (s.ownSite) {
        // The job's record keeps only what its own site took.
        job_.User = c.first;
        job_.Pass = c.second;
    }
    s.sent = c;
    Response next;
    if (!Perform(c, next))
        return false;
    r = std::move(next);
    return true;
}

void CFetchCore::RefuseArea(AuthState& s)
{
    if (s.own) {
        context_.areas->Refuse(s.area, this);
        s.settled = true;
    }
    Fail(2, IsCancelled() ? kCancelled : kAuthRefused);
}

void CFetchCore::SettleArea(AuthState& s)
{
    if (!s.sent)
        return; // nothing was accepted: the area is released for the next transfer
    CAuthAreaTable& areas = *context_.areas;
    areas.Settle(s.area, this, s.sent->first, s.sent->second);
    s.settled = true;
    const std::vector<AuthArea> list = areas.Areas();
    const auto at = static_cast<size_t>(s.area);
    RememberCredentials(context_.store, s.page, *s.sent, at < list.size() ? list[at].Prefix : "", s.storeKey);
}

int CFetchCore::AskCredentials(const std::string& page, std::string& storeKey, const std::set<Credentials>& rejected,
                               Credentials& out)
{
    // The store first; a repeated lookup steps one level up, past credentials the server has already refused.
    for (;;) {
        StoreAnswer found;
        if (!LookUpCredentials(context_.store, page, storeKey, found))
            break;
        const Credentials c{found.user, found.pass};
        const bool noStep = found.key == storeKey;
        storeKey = found.key;
        if (!rejected.count(c)) {
            out = c;
            return 1;
        }
        if (noStep)
            break;
    }
    if (promptUsed_ || !context_.observer)
        return -1;
    promptUsed_ = true;
    auto prompt = std::make_shared<CredentialsPrompt>();
    {
        std::lock_guard lock(mutex_);
        prompt_ = prompt;
    }
    if (IsCancelled())
        prompt->Cancel();
    const CredentialsAnswer answer = context_.observer->AskCredentials(page, context_.limits.prompt, *prompt);
    {
        std::lock_guard lock(mutex_);
        prompt_.reset();
    }
    if (!answer.ok || IsCancelled())
        return -1;
    out = {answer.user, answer.pass};
    // What the server refused is not sent again unchanged.
    return rejected.count(out) ? -1 : 0;
}

} // namespace pelldra
