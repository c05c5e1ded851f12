#include "screen_fit.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

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
    // The form's own minimum sizes may make the window larger than its designed size; that is
    // the size it opens with when nothing scrolls.
    // Polished first: the style and font change the sizes the layout asks for.
    window->ensurePolished();
    const QSize designed = window->size().expandedTo(window->minimumSizeHint());
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
    QSize fitted = designed.boundedTo(room);
    if (fitted == designed || fitted.isEmpty())
        return;
    // A cut height brings a vertical scroll bar; widen for it where there is room.
    if (fitted.height() < designed.height())
        fitted.setWidth(qMin(room.width(), designed.width() + window->style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
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

