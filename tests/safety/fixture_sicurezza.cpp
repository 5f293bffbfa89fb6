#include "fixture_sicurezza.h"

#include "records/correzione_en.h"
#include "records/correzione_enp.h"

namespace corvale::prova {

void ArchivioSicurezza::correggiTutti(const TaskCorrezione& t, int opzione, int voce)
{
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    v.Opzione = opzione;
    if (voce >= 0) {
        ScegliVoceCombo(v, voce);
        v.TestoCombo = v.VociCombo.at(voce).Testo;
    }
    SelezionaTutti(v);
    if (t.Tipo == QLatin1String("ENP"))
        GestisciCorrezioneENP(v, t);
    else
        GestisciCorrezioneEN(v, t);
}

}  // namespace corvale::prova
