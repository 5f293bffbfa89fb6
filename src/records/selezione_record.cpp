#include "selezione_record.h"

#include <limits>

namespace corvale {

std::map<dbe::Bookmark, dbe::Bookmark>::const_iterator SelezioneRecord::trova(dbe::Bookmark b) const
{
    auto it = mappa_.upper_bound(b);
    if (it == mappa_.begin())
        return mappa_.end();
    --it;
    return it->second >= b ? it : mappa_.end();
}

bool SelezioneRecord::Contains(dbe::Bookmark b) const { return trova(b) != mappa_.end(); }

dbe::Bookmark SelezioneRecord::Item(qint64 k) const
{
    if (k == conta_ - 1)
        return tratti_.back().ultimo;
    for (const Tratto& t : tratti_) {
        if (k < t.conta())
            return t.primo + k;
        k -= t.conta();
    }
    return 0;
}

void SelezioneRecord::accoda(dbe::Bookmark primo, dbe::Bookmark ultimo)
{
    conta_ += ultimo - primo + 1;
    if (!tratti_.empty() && tratti_.back().ultimo != std::numeric_limits<dbe::Bookmark>::max()
        && tratti_.back().ultimo + 1 == primo) {
        tratti_.back().ultimo = ultimo;
        mappa_[tratti_.back().primo] = ultimo;
        return;
    }
    tratti_.push_back({primo, ultimo});
    mappa_.emplace(primo, ultimo);
}

bool SelezioneRecord::Add(dbe::Bookmark b)
{
    if (Contains(b))
        return false;
    accoda(b, b);
    return true;
}

qint64 SelezioneRecord::AddIntervallo(dbe::Bookmark primo, dbe::Bookmark ultimo)
{
    qint64 aggiunti = 0;
    dbe::Bookmark da = primo;
    while (da <= ultimo) {
        // The selected run at or after da bounds the next gap.
        auto it = trova(da);
        if (it != mappa_.end()) {
            if (it->second >= ultimo)
                break;
            da = it->second + 1;
            continue;
        }
        const auto dopo = mappa_.upper_bound(da);
        const dbe::Bookmark fine = dopo != mappa_.end() && dopo->first <= ultimo ? dopo->first - 1 : ultimo;
        accoda(da, fine);
        aggiunti += fine - da + 1;
        if (fine == ultimo)
            break;
        da = fine + 1;
    }
    return aggiunti;
}

size_t SelezioneRecord::posizione(dbe::Bookmark primo) const
{
    if (!tratti_.empty() && tratti_.back().primo == primo)
        return tratti_.size() - 1;
    size_t i = 0;
    while (i < tratti_.size() && tratti_[i].primo != primo)
        ++i;
    return i;
}

// Takes b out of run i, splitting the run when b is inside it.
void SelezioneRecord::togliDa(size_t i, dbe::Bookmark b)
{
    Tratto t = tratti_[i];
    mappa_.erase(t.primo);
    --conta_;
    if (t.primo == t.ultimo) {
        tratti_.erase(tratti_.begin() + qint64(i));
        return;
    }
    if (b == t.primo) {
        tratti_[i].primo = b + 1;
        mappa_.emplace(b + 1, t.ultimo);
    } else if (b == t.ultimo) {
        tratti_[i].ultimo = b - 1;
        mappa_.emplace(t.primo, b - 1);
    } else {
        tratti_[i].ultimo = b - 1;
        mappa_.emplace(t.primo, b - 1);
        tratti_.insert(tratti_.begin() + qint64(i) + 1, Tratto{b + 1, t.ultimo});
        mappa_.emplace(b + 1, t.ultimo);
    }
}

void SelezioneRecord::RemoveAt(qint64 k)
{
    if (k < 0 || k >= conta_)
        return;
    if (k == conta_ - 1) {
        togliDa(tratti_.size() - 1, tratti_.back().ultimo);
        return;
    }
    for (size_t i = 0; i < tratti_.size(); ++i) {
        if (k < tratti_[i].conta()) {
            togliDa(i, tratti_[i].primo + k);
            return;
        }
        k -= tratti_[i].conta();
    }
}

bool SelezioneRecord::Remove(dbe::Bookmark b)
{
    const auto it = trova(b);
    if (it == mappa_.end())
        return false;
    togliDa(posizione(it->first), b);
    return true;
}

void SelezioneRecord::Clear()
{
    tratti_.clear();
    mappa_.clear();
    conta_ = 0;
}

}  // namespace corvale
