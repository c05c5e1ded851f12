#include "screen_fit.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>

namespace screenfit {

namespace {

// Room for the window manager's title bar and borders before the window has a frame of its own.
constexpr int kTitleBar = 32;
constexpr int kBorders = 8;
const QLatin1String kScrollAreaName("centralScrollArea");

} // namespace

QScrollArea* wrapCentral(QMainWindow* window)
{
    if (auto* existing = qobject_cast<QScrollArea*>(window->centralWidget());
        existing && existing->objectName() == kScrollAreaName)
        return existing;
    const QSize designed = window->size();
    QWidget* content = window->takeCentralWidget();
    auto* area = new QScrollArea(window);
    area->setObjectName(kScrollAreaName);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    window->setCentralWidget(area);
    window->resize(designed);
    return area;
}

void fitInto(QMainWindow* window, const QRect& available)
{
    const QSize room(available.width() - kBorders, available.height() - kTitleBar);
    const QSize designed = window->size();
    const QSize fitted = designed.boundedTo(room);
    if (fitted == designed || fitted.isEmpty())
        return;
    window->resize(fitted);
    window->move(available.left() + (available.width() - fitted.width()) / 2, available.top());
}

void arrange(QMainWindow* window)
{
    wrapCentral(window);
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen)
        fitInto(window, screen->availableGeometry());
}

} // namespace screenfit

