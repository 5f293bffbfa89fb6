#include "recordset_keyset.h"

#include <algorithm>

namespace dbe::detail {

void Keyset::reset(int width)
{
    width_ = width < 1 ? 1 : width;
    rowids_.clear();
    identities_.clear();
    contents_.clear();
    deleted_.clear();
    tree_.clear();
    deletedCount_ = 0;
}

void Keyset::append(const qint64* rowids, const qint64* identities, const qint64* contents)
{
    rowids_.insert(rowids_.end(), rowids, rowids + width_);
    if (identities)
        identities_.insert(identities_.end(), identities, identities + width_);
    else
        identities_.insert(identities_.end(), size_t(width_), kUnknown);
    if (contents)
        contents_.insert(contents_.end(), contents, contents + width_);
    else
        contents_.insert(contents_.end(), size_t(width_), kUnknown);
    if (deleted_.empty())
        return;
    deleted_.push_back(0);
    // Fenwick node i (1-based) covers (i - lowbit(i), i]: its value is the live count there.
    const qint64 i = size();
    const qint64 low = i & -i;
    tree_.push_back(qint32(1 + prefix(i - 1) - prefix(i - low)));
}

void Keyset::buildTree()
{
    const size_t n = size_t(size());
    deleted_.assign(n, 0);
    tree_.assign(n + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
        tree_[i] += 1;
        const size_t parent = i + (i & (~i + 1));
        if (parent <= n)
            tree_[parent] += tree_[i];
    }
}

void Keyset::markDeleted(qint64 entry)
{
    if (entry < 0 || entry >= size() || isDeleted(entry))
        return;
    if (deleted_.empty())
        buildTree();
    deleted_[size_t(entry)] = 1;
    ++deletedCount_;
    const size_t n = size_t(size());
    for (size_t i = size_t(entry) + 1; i <= n; i += i & (~i + 1))
        tree_[i] -= 1;
}

std::vector<qint64> Keyset::deletedRowids() const
{
    std::vector<qint64> out;
    out.reserve(size_t(deletedCount_));
    for (size_t e = 0; e < deleted_.size(); ++e)
        if (deleted_[e])
            out.push_back(rowids_[e * size_t(width_)]);
    return out;
}

void Keyset::dropDeleted()
{
    if (deletedCount_ == 0)
        return;
    const size_t w = size_t(width_);
    size_t to = 0;
    for (size_t e = 0; e < deleted_.size(); ++e) {
        if (deleted_[e])
            continue;
        if (to != e) {
            std::copy_n(rowids_.begin() + e * w, w, rowids_.begin() + to * w);
            std::copy_n(identities_.begin() + e * w, w, identities_.begin() + to * w);
            std::copy_n(contents_.begin() + e * w, w, contents_.begin() + to * w);
        }
        ++to;
    }
    rowids_.resize(to * w);
    identities_.resize(to * w);
    contents_.resize(to * w);
    deleted_.clear();
    tree_.clear();
    deletedCount_ = 0;
}

qint64 Keyset::prefix(qint64 count) const
{
    if (deleted_.empty())
        return count;
    qint64 sum = 0;
    for (qint64 i = count; i > 0; i -= i & -i)
        sum += tree_[size_t(i)];
    return sum;
}

qint64 Keyset::rank(qint64 entry) const
{
    if (entry <= 0)
        return 0;
    return prefix(entry > size() ? size() : entry);
}

qint64 Keyset::select(qint64 r) const
{
    if (r < 0 || r >= liveCount())
        return -1;
    if (deleted_.empty())
        return r;
    // Descend the tree for the smallest position whose prefix exceeds r.
    const qint64 n = size();
    qint64 pos = 0;
    qint64 step = 1;
    while (step * 2 <= n)
        step *= 2;
    qint64 remaining = r;
    for (; step > 0; step /= 2) {
        const qint64 next = pos + step;
        if (next <= n && tree_[size_t(next)] <= remaining) {
            pos = next;
            remaining -= tree_[size_t(next)];
        }
    }
    return pos;  // 0-based entry index = (1-based position pos + 1) - 1
}

qint64 Keyset::nextLive(qint64 from) const
{
    if (from < 0)
        from = 0;
    if (from >= size())
        return size();
    if (!isDeleted(from))
        return from;
    const qint64 s = select(rank(from));
    return s < 0 ? size() : s;
}

qint64 Keyset::prevLive(qint64 from) const
{
    if (from >= size())
        from = size() - 1;
    if (from < 0)
        return -1;
    if (!isDeleted(from))
        return from;
    const qint64 r = rank(from + 1);
    return r == 0 ? -1 : select(r - 1);
}

}  // namespace dbe::detail
