#include "frmCVCarmain.h"

namespace corvane {

FrmCVCarmain::FrmCVCarmain(Station &station)
    : Screen(station, QString::fromLatin1(kFormName), QStringLiteral("Corvane Main Interface"))
{
    setClientSizeTwips(11880, 8160);
    setCentred(true);
}

void FrmCVCarmain::build(QWidget *)
{
}

} // namespace corvane
