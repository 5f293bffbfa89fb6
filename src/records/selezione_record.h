#pragma once
// SelezioneRecord: the rows selected in the problem-record grid, each held as its record's bookmark,
// in the order in which they were selected. A bookmark is held at most once. Count, Item(k), Add and
// RemoveAt are what the corrections use; taking the first entry out is cheap however many rows are
// selected, and membership is answered without a scan.
#include "dbengine/recordset.h"

#include <QSet>
#include <deque>

namespace corvale {

class SelezioneRecord {
public:
    qint64 Count() const { return qint64(voci_.size()); }
    // The bookmark at position k, counted from 0 (k must be below Count()).
    dbe::Bookmark Item(qint64 k) const { return voci_[size_t(k)]; }
    // Appends the bookmark unless it is already selected; true when it was added.
    bool Add(dbe::Bookmark b);
    // Takes out the entry at position k; positions after it move down by one.
    void RemoveAt(qint64 k);
    // Takes the bookmark out wherever it is; true when it was selected.
    bool Remove(dbe::Bookmark b);
    bool Contains(dbe::Bookmark b) const { return presenti_.contains(b); }
    void Clear();

private:
    std::deque<dbe::Bookmark> voci_;
    QSet<dbe::Bookmark> presenti_;
};

}  // namespace corvale
