#pragma once
// The version gate in front of the maintenance window: the copy warning, the master database
// opened anew into DbMaster, and the comparison of the master's stamp (VersioneMaster) with the
// archive's. Every message goes through Messaggi; no widget is involved, so corvale-cli can run it
// too. Engine errors never escape.
namespace corvale {

// Shows the warnings of the gate. True when the maintenance window may open (the master opened
// and its stamp is known, whether or not the stamps differ); false after the message that says why
// not.
bool VarcoVersione();

}  // namespace corvale
