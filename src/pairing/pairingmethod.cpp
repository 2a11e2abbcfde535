#include "pairing/pairingmethod.h"

#include "entries/datensatz.h"
#include "entries/listoperations.h"

std::unique_ptr<TPairingMethod> MakePairingMethod(PairingMethod method)
{
    return method == PairingMethod::Alignment ? MakeAlignmentPairing() : MakeRunAndTimePairing();
}

void MakeStereoPair(TDatensatz *left, TDatensatz *right)
{
    left->SetAttribute(daStereoPair);
    right->SetAttribute(daStereoPair);
    left->SetSide(dsLeft);
    right->SetSide(dsRight);
    LinkBothWays(left, right);
}
