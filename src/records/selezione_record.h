#pragma once
// SelezioneRecord: the rows selected in the problem-record grid, each held as its record's bookmark,
// in the order in which they were selected. A bookmark is held at most once. Count, Item(k), Add and
// RemoveAt are what the corrections use. The bookmarks are kept as runs of consecutive values (the
// bookmarks of a record set's records in its order are consecutive), so "Seleziona Tutti" on any
// number of records costs a few runs, not an entry per row; taking the first or the last entry out
// is cheap however many rows are selected, and membership is answered without a scan.
#include "dbengine/recordset.h"

#include <deque>
#include <map>

namespace corvale {

class SelezioneRecord {
public:
    qint64 Count() const { return conta_; }
    // The bookmark at position k, counted from 0 (k must be below Count()).
    dbe::Bookmark Item(qint64 k) const;
    // Appends the bookmark unless it is already selected; true when it was added.
    bool Add(dbe::Bookmark b);
    // Appends, in increasing order, every bookmark from primo to ultimo not already selected; the
    // number added.
    qint64 AddIntervallo(dbe::Bookmark primo, dbe::Bookmark ultimo);
    // Takes out the entry at position k; positions after it move down by one.
    void RemoveAt(qint64 k);
    // Takes the bookmark out wherever it is; true when it was selected.
    bool Remove(dbe::Bookmark b);
    bool Contains(dbe::Bookmark b) const;
    void Clear();

private:
    struct Tratto {
        dbe::Bookmark primo, ultimo;  // inclusive
        qint64 conta() const { return ultimo - primo + 1; }
    };
    // The run that holds b, or end().
    std::map<dbe::Bookmark, dbe::Bookmark>::const_iterator trova(dbe::Bookmark b) const;
    void accoda(dbe::Bookmark primo, dbe::Bookmark ultimo);
    // Position in tratti_ of the run starting at primo.
    size_t posizione(dbe::Bookmark primo) const;
    void togliDa(size_t i, dbe::Bookmark b);

    std::deque<Tratto> tratti_;  // in the order selected
    std::map<dbe::Bookmark, dbe::Bookmark> mappa_;  // first -> last of every run, for membership
    qint64 conta_ = 0;
};

}  // namespace corvale
