#pragma once
// The version gate in front of the maintenance window: the copy warning, the master database
// opened anew into the session's DbMaster, and the comparison of the master's stamp (VersioneMaster)
// with the archive's. Every message goes to the session's operator; no widget is involved, so corvale-cli can run it
// too. Engine errors never escape.
namespace corvale {

class Sessione;

// Shows the warnings of the gate. True when the maintenance window may open (the master opened
// and its stamp is known, whether or not the stamps differ); false after the message that says why
// not.
bool VarcoVersione(Sessione& s);

}  // namespace corvale
