#include "core/screen/PanelScreen.h"

#include "core/link/LinkControl.h"

namespace corvane {

PanelScreen::PanelScreen(Station &station, const char16_t *form, const char16_t *caption, int width, int height,
                         SelfUnload closeOn)
    : Screen(station, QString::fromUtf16(form), QString::fromUtf16(caption))
{
    setClientSizeTwips(width, height);
    setSelfUnload(closeOn);
}

void PanelScreen::formLoad()
{
    openLinks(m_links);
}

void PanelScreen::formUnload()
{
    closeLinks(m_links);
}

void PanelScreen::released()
{
    m_links.clear();
    m_indicators.clear();
}

void PanelScreen::repaintIndicators(const FlashGenerators *flash) const
{
    for (const LiveIndicator &indicator : m_indicators)
        indicator.repaint(flash);
}

} // namespace corvane
