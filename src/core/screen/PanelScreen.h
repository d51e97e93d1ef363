#pragma once

#include "core/screen/Indicator.h"
#include "core/screen/Screen.h"

#include <QList>
#include <vector>

namespace corvane {

class FlashGenerators;
class LinkControl;

// What the screens made of frames of rows share: their links, opened at load and
// closed at unload in table order, and the status labels a timer repaints from them.
class PanelScreen : public Screen
{
    Q_OBJECT
protected:
    PanelScreen(Station &station, const char16_t *form, const char16_t *caption, int width, int height,
                SelfUnload closeOn);

    void formLoad() override;
    void formUnload() override;
    void released() override;

    // Every status label from the current link values, in table order.
    void repaintIndicators(const FlashGenerators *flash) const;

    QList<LinkControl *> m_links;
    std::vector<LiveIndicator> m_indicators;
};

} // namespace corvane
