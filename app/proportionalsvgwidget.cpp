#include "mainwindow.h"

#include <QSvgRenderer>
#include <algorithm>

void MainWindow::ProportionalSvgWidget::resizeEvent(QResizeEvent* event)
{
    QSvgWidget::resizeEvent(event);
    // Without a picture the size hint is a made-up default: leave the layout's size alone.
    if (!renderer()->isValid())
        return;
    const QSize natural = sizeHint();
    if (natural.width() < 1 || natural.height() < 1)
        return;
    const double scale = std::min(double(width()) / natural.width(),
                                  double(height()) / natural.height());
    resize(static_cast<int>(natural.width() * scale), static_cast<int>(natural.height() * scale));
}
