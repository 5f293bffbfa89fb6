#pragma once
// Keyset: the records of a record set, fixed when it is opened, as one tuple of rowids per record
// (one rowid per source table; kNoRow for the missing side of an outer join), each with the
// identity its source's record had when it was listed (kUnknown until it is first read), so that a
// new record that SQLite gave the rowid of a deleted one is not taken for it, and with the content
// (a hash of every stored value) it had then, which a write through the set requires it still to
// have: a record changed or replaced by another program since it was listed is never written. Entries are never
// removed, so an entry's index stays the same until the keyset is refilled: bookmarks are built on
// it. Records deleted through the set itself are marked and skipped by the live-record queries
// (nextLive, prevLive, rank, select), which stay logarithmic however many records were deleted.
#include <QtGlobal>

#include <cstdint>
#include <limits>
#include <vector>

namespace dbe::detail {

class Keyset {
public:
    static constexpr qint64 kNoRow = std::numeric_limits<qint64>::min();
    static constexpr qint64 kUnknown = 0;

    explicit Keyset(int width = 1) : width_(width < 1 ? 1 : width) {}
    // Empties the keyset for tuples of width rowids.
    void reset(int width);
    void reserve(qint64 entries)
    {
        rowids_.reserve(size_t(entries) * size_t(width_));
        identities_.reserve(size_t(entries) * size_t(width_));
        contents_.reserve(size_t(entries) * size_t(width_));
    }

    int width() const { return width_; }
    qint64 size() const { return qint64(rowids_.size() / size_t(width_)); }
    qint64 liveCount() const { return size() - deletedCount_; }

    // identities and contents: one per source, or nullptr when not known yet.
    void append(const qint64* rowids, const qint64* identities = nullptr, const qint64* contents = nullptr);
    void append(qint64 rowid) { append(&rowid); }
    qint64 rowid(qint64 entry, int source) const { return rowids_[size_t(entry) * width_ + source]; }
    const qint64* tuple(qint64 entry) const { return rowids_.data() + size_t(entry) * width_; }
    qint64 identity(qint64 entry, int source) const { return identities_[size_t(entry) * width_ + source]; }
    void setIdentity(qint64 entry, int source, qint64 identity)
    {
        identities_[size_t(entry) * width_ + source] = identity;
    }
    qint64 content(qint64 entry, int source) const { return contents_[size_t(entry) * width_ + source]; }
    void setContent(qint64 entry, int source, qint64 content) { contents_[size_t(entry) * width_ + source] = content; }

    bool isDeleted(qint64 entry) const { return !deleted_.empty() && deleted_[size_t(entry)]; }
    void markDeleted(qint64 entry);
    qint64 deletedCount() const { return deletedCount_; }
    // The rowids (of the first source) of the entries marked deleted, in entry order.
    std::vector<qint64> deletedRowids() const;
    // Removes the entries marked deleted; the others keep their order and are renumbered.
    void dropDeleted();

    // The first live entry at or after from; size() when there is none.
    qint64 nextLive(qint64 from) const;
    // The last live entry at or before from; -1 when there is none.
    qint64 prevLive(qint64 from) const;
    // The number of live entries before entry.
    qint64 rank(qint64 entry) const;
    // The live entry with that rank (0-based); -1 when rank is out of range.
    qint64 select(qint64 rank) const;

private:
    void buildTree();
    qint64 prefix(qint64 count) const;  // live entries among the first count

    int width_;
    std::vector<qint64> rowids_;
    std::vector<qint64> identities_;
    std::vector<qint64> contents_;
    // Built at the first deletion: a mark per entry and a Fenwick tree of live counts.
    std::vector<std::uint8_t> deleted_;
    std::vector<qint32> tree_;
    qint64 deletedCount_ = 0;
};

}  // namespace dbe::detail
