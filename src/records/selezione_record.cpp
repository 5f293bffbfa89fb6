#include "selezione_record.h"

#include <algorithm>

namespace corvale {

bool SelezioneRecord::Add(dbe::Bookmark b)
{
    if (presenti_.contains(b))
        return false;
    presenti_.insert(b);
    voci_.push_back(b);
    return true;
}

void SelezioneRecord::RemoveAt(qint64 k)
{
    if (k < 0 || k >= Count())
        return;
    presenti_.remove(voci_[size_t(k)]);
    voci_.erase(voci_.begin() + k);
}

bool SelezioneRecord::Remove(dbe::Bookmark b)
{
    if (!presenti_.contains(b))
        return false;
    const auto it = std::find(voci_.begin(), voci_.end(), b);
    if (it != voci_.end())
        voci_.erase(it);
    presenti_.remove(b);
    return true;
}

void SelezioneRecord::Clear()
{
    voci_.clear();
    presenti_.clear();
}

}  // namespace corvale
