#include "ui/Look.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <cstdio>

namespace corvane {

void applyStationLook()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(7.5);
    QApplication::setFont(font);
    QPalette palette = QApplication::style()->standardPalette();
    // Disabled captions stay readable on the yellow "not active" buttons.
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x55, 0x55, 0x55));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x55, 0x55, 0x55));
    QApplication::setPalette(palette);
    // The offscreen platform cannot raise windows and says so on every show.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (message.startsWith(QLatin1String("This plugin does not support")))
            return;
        if (previous)
            previous(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    });
}

} // namespace corvane
