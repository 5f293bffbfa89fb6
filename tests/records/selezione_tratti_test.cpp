// The grid's selection held as runs of bookmarks, against a plain list of bookmarks: random adds,
// ranges, removals by position and by value (seeded), every answer compared after each step.
#include "records/selezione_record.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using corvale::SelezioneRecord;

TEST(SelezioneTratti, RunsAnswerAsAPlainListInSelectionOrder)
{
    for (quint32 seme = 1; seme <= 20; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        SelezioneRecord s;
        std::vector<qint64> lista;
        const qint64 base = qint64(g.bounded(5u)) << 32;
        const auto contiene = [&](qint64 b) { return std::find(lista.begin(), lista.end(), b) != lista.end(); };
        for (int passo = 0; passo < 400; ++passo) {
            const quint32 mossa = g.bounded(10u);
            const qint64 b = base + qint64(g.bounded(120u));
            if (mossa < 3) {
                EXPECT_EQ(s.Add(b), !contiene(b));
                if (!contiene(b))
                    lista.push_back(b);
            } else if (mossa < 5) {
                const qint64 fine = b + qint64(g.bounded(30u));
                qint64 nuovi = 0;
                for (qint64 x = b; x <= fine; ++x)
                    if (!contiene(x))
                        lista.push_back(x), ++nuovi;
                EXPECT_EQ(s.AddIntervallo(b, fine), nuovi);
            } else if (mossa < 7 && !lista.empty()) {
                // The first, the last or any position.
                const quint32 dove = g.bounded(3u);
                const qint64 k = dove == 0   ? 0
                                 : dove == 1 ? qint64(lista.size()) - 1
                                             : qint64(g.bounded(quint32(lista.size())));
                s.RemoveAt(k);
                lista.erase(lista.begin() + k);
            } else if (mossa < 9) {
                EXPECT_EQ(s.Remove(b), contiene(b));
                lista.erase(std::remove(lista.begin(), lista.end(), b), lista.end());
            } else if (g.bounded(8u) == 0) {
                s.Clear();
                lista.clear();
            }
            ASSERT_EQ(s.Count(), qint64(lista.size())) << "step " << passo;
            for (qint64 k = 0; k < s.Count(); ++k)
                ASSERT_EQ(s.Item(k), lista[size_t(k)]) << "step " << passo << " position " << k;
            for (qint64 x = base - 1; x <= base + 151; ++x)
                ASSERT_EQ(s.Contains(x), contiene(x)) << "step " << passo << " bookmark " << x;
        }
    }
}
