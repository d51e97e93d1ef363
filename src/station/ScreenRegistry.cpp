#include "station/ScreenRegistry.h"

#include "station/Screen.h"

#include <algorithm>

namespace corvane {

ScreenRegistry::ScreenRegistry() = default;

ScreenRegistry::~ScreenRegistry()
{
    // Quietly: the run is over, nobody should hear that the last screen went.
    blockSignals(true);
    for (auto &s : m_screens)
        s->blockSignals(true);
    m_screens.clear();
}

Screen *ScreenRegistry::add(std::unique_ptr<Screen> screen)
{
    Q_ASSERT(!find(screen->formName()));
    m_screens.push_back(std::move(screen));
    return m_screens.back().get();
}

Screen *ScreenRegistry::find(const QString &formName) const
{
    for (const auto &s : m_screens) {
        if (s->formName() == formName)
            return s.get();
    }
    return nullptr;
}

QStringList ScreenRegistry::formNames() const
{
    QStringList names;
    for (const auto &s : m_screens)
        names << s->formName();
    return names;
}

bool ScreenRegistry::load(const QString &formName)
{
    Screen *s = find(formName);
    if (s)
        s->load();
    return s && s->isLoaded();
}

bool ScreenRegistry::show(const QString &formName)
{
    Screen *s = find(formName);
    if (s)
        s->show();
    return s && s->isLoaded();
}

bool ScreenRegistry::makeVisible(const QString &formName)
{
    Screen *s = find(formName);
    if (s)
        s->makeVisible();
    return s && s->isLoaded();
}

void ScreenRegistry::hide(const QString &formName)
{
    if (Screen *s = find(formName))
        s->hide();
}

void ScreenRegistry::unload(const QString &formName)
{
    if (Screen *s = find(formName))
        s->unload();
}

bool ScreenRegistry::isLoaded(const QString &formName) const
{
    const Screen *s = find(formName);
    return s && s->isLoaded();
}

void ScreenRegistry::unloadAll()
{
    while (!m_loadOrder.empty())
        m_loadOrder.back()->unload();
}

void ScreenRegistry::noteLoaded(Screen *s)
{
    m_loadOrder.push_back(s);
    ++m_loaded;
    Q_EMIT screenLoaded(s->formName());
}

void ScreenRegistry::noteUnloaded(Screen *s)
{
    m_loadOrder.erase(std::remove(m_loadOrder.begin(), m_loadOrder.end(), s), m_loadOrder.end());
    --m_loaded;
    Q_EMIT screenUnloaded(s->formName());
    if (m_loaded == 0)
        Q_EMIT lastScreenUnloaded();
}

} // namespace corvane
