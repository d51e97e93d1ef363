#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

namespace corvane {

class Screen;

// One screen object per form name for the whole run. Screens open each other here
// by name; a name that is not registered is quietly skipped.
class ScreenRegistry : public QObject
{
    Q_OBJECT
public:
    ScreenRegistry();
    ~ScreenRegistry() override;

    Screen *add(std::unique_ptr<Screen> screen);
    Screen *find(const QString &formName) const;
    QStringList formNames() const;

    bool load(const QString &formName);
    bool show(const QString &formName);
    bool makeVisible(const QString &formName);
    void hide(const QString &formName);
    void unload(const QString &formName);
    bool isLoaded(const QString &formName) const;
    int loadedCount() const { return m_loaded; }
    // The loaded screens, the earliest loaded first.
    std::vector<Screen *> loadedScreens() const { return m_loadOrder; }
    // Unloads every loaded screen, the latest loaded first.
    void unloadAll();

Q_SIGNALS:
    void screenLoaded(const QString &formName);
    void screenUnloaded(const QString &formName);
    // No screen is loaded any more, hidden ones included: the program ends.
    void lastScreenUnloaded();

private:
    friend class Screen;
    void noteLoaded(Screen *s);
    void noteUnloaded(Screen *s);

    std::vector<std::unique_ptr<Screen>> m_screens;
    std::vector<Screen *> m_loadOrder;
    int m_loaded = 0;
};

} // namespace corvane
