#pragma once

#include "core/Screen.h"

namespace corvane {

// The main car screen: the hub of the station.
class FrmCVCarmain : public Screen
{
    Q_OBJECT
public:
    static constexpr char kFormName[] = "frmCVCarmain";
    explicit FrmCVCarmain(Station &station);

protected:
    void build(QWidget *form) override;
};

} // namespace corvane
