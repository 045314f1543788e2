// The authentication areas of a run.
#include "core/engine/auth_area_table.h"

#include <algorithm>

#include "core/text/text_utils.h"

namespace pelldra {

std::string CAuthAreaTable::DirectoryOf(const std::string& targ)
{
    return UpToLast(targ, '/');
}

CAuthAreaTable::Found CAuthAreaTable::FindArea(const std::string& targ, const AreaAsker& me)
{
    const std::string dir = DirectoryOf(targ);
    std::function<void()> cancelPrevious;
    Found out;
    {
        std::unique_lock lock(mutex_);
        int index = -1;
        for (size_t i = 0; i < areas_.size(); ++i) {
            const std::string& p = areas_[i].Prefix;
            if (dir.compare(0, p.size(), p) == 0 && dir.size() >= p.size()) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index < 0)
            return out;
        const void* seen = areas_[static_cast<size_t>(index)].Asker;
        int steps = 0;
        while (areas_[static_cast<size_t>(index)].Pending) {
            if (settled_.wait_for(lock, waits_.step, [&] { return !areas_[static_cast<size_t>(index)].Pending; }))
                break;
            if (me.cancelled && me.cancelled()) {
                out.code = kCancelled;
                return out;
            }
            AuthArea& a = areas_[static_cast<size_t>(index)];
            if (++steps > waits_.steps && a.Asker == seen) {
                // The asker has been silent too long: it is cancelled and this transfer asks instead.
                a.Asker = me.id;
                cancelPrevious = std::exchange(cancels_[static_cast<size_t>(index)], me.cancel);
                out.code = index;
                out.mustAsk = true;
                break;
            }
        }
        AuthArea& a = areas_[static_cast<size_t>(index)];
        if (!out.mustAsk) {
            if (a.Outcome == -1) {
                out.code = kRefused;
                return out;
            }
            out.code = index;
            if (a.Outcome == 0) {
                // Released without an answer: this transfer asks now.
                a.Pending = true;
                a.Asker = me.id;
                cancels_[static_cast<size_t>(index)] = me.cancel;
                out.mustAsk = true;
            } else {
                out.user = a.User;
                out.pass = a.Pass;
            }
        }
    }
    if (cancelPrevious)
        cancelPrevious();
    return out;
}

int CAuthAreaTable::AddArea(const std::string& targ, const AreaAsker& me)
{
    std::lock_guard lock(mutex_);
    AuthArea a;
    a.Prefix = DirectoryOf(targ);
    a.PageUrl = targ;
    a.Pending = true;
    a.Asker = me.id;
    areas_.push_back(std::move(a));
    cancels_.push_back(me.cancel);
    return static_cast<int>(areas_.size() - 1);
}

void CAuthAreaTable::EndQuestion(int index, const void* asker, int32_t outcome, const std::string* user,
                                 const std::string* pass)
{
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<size_t>(index) >= areas_.size())
            return;
        AuthArea& a = areas_[static_cast<size_t>(index)];
        if (a.Asker != asker)
            return;
        a.Pending = false;
        a.Asker = nullptr;
        a.Outcome = outcome;
        if (user)
            a.User = *user;
        if (pass)
            a.Pass = *pass;
        cancels_[static_cast<size_t>(index)] = nullptr;
    }
    settled_.notify_all();
}

void CAuthAreaTable::Settle(int index, const void* asker, const std::string& user, const std::string& pass)
{
    EndQuestion(index, asker, 1, &user, &pass);
}

void CAuthAreaTable::Refuse(int index, const void* asker)
{
    EndQuestion(index, asker, -1, nullptr, nullptr);
}

void CAuthAreaTable::Release(int index, const void* asker)
{
    // A pending area has no answer yet, so its outcome stays open.
    EndQuestion(index, asker, 0, nullptr, nullptr);
}

void CAuthAreaTable::SetPrefix(int index, const std::string& prefix)
{
    std::lock_guard lock(mutex_);
    if (index >= 0 && static_cast<size_t>(index) < areas_.size())
        areas_[static_cast<size_t>(index)].Prefix = prefix;
}

void CAuthAreaTable::DropRefused()
{
    std::lock_guard lock(mutex_);
    for (size_t i = areas_.size(); i-- > 0;) {
        if (areas_[i].Outcome == -1 && !areas_[i].Pending) {
            areas_.erase(areas_.begin() + static_cast<std::ptrdiff_t>(i));
            cancels_.erase(cancels_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

std::vector<AuthArea> CAuthAreaTable::Areas() const
{
    std::lock_guard lock(mutex_);
    return areas_;
}

} // namespace pelldra
