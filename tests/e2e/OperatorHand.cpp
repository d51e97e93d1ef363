// Test equipment, loaded into the real station as a Qt generic plugin
// (QT_QPA_GENERIC_PLUGINS=corvaneoperatorhand) so the program is tested as it ships:
// an operator's hand. Once a window showing live data holds the button named by
// $CORVANE_HAND_CLICK, it clicks it once; with $CORVANE_HAND_THEN=close it then closes
// every window as the title bar's close box would, the main car screen first.
#include <QApplication>
#include <QGenericPlugin>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

class OperatorHand : public QObject
{
public:
    OperatorHand()
    {
        m_look.callOnTimeout(this, &OperatorHand::look);
        // Created while the application is still being built: start from its loop.
        QMetaObject::invokeMethod(
                this, [this] { m_look.start(20); }, Qt::QueuedConnection);
    }

private:
    void look()
    {
        const QString name = qEnvironmentVariable("CORVANE_HAND_CLICK");
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!window->isVisible() || window->windowTitle().endsWith(QLatin1String(" [NO DATA]")))
                continue;
            auto *button = window->findChild<QPushButton *>(name);
            if (!button || !button->isVisible() || !button->isEnabled())
                continue;
            m_look.stop();
            button->click();
            if (qEnvironmentVariable("CORVANE_HAND_THEN") == QLatin1String("close"))
                closeAll();
            return;
        }
    }

    static void closeAll()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible())
                (w->objectName() == QLatin1String("frmCVCarmain") ? windows.prepend(w) : windows.append(w));
        }
        for (const QPointer<QWidget> &w : windows) {
            if (w && w->isVisible())
                w->close();
        }
    }

    QTimer m_look;
};

} // namespace

class OperatorHandPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "OperatorHand.json")
public:
    QObject *create(const QString &, const QString &) override { return new OperatorHand; }
};

#include "OperatorHand.moc"
