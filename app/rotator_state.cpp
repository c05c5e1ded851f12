#include "rotator_state.h"

#include "journal.h"
#include "stepping_motor.h"

#include <QGridLayout>
#include <QSpinBox>

#include <cmath>

RotatorState::RotatorState(SteppingMotor& rotator, QSpinBox& target, QObject* parent)
    : QObject(parent)
    , rotator(rotator)
    , target(target)
    , positionLabel(new QLabel)
{
    positionLabel->setObjectName(QStringLiteral("sm_position_l"));
    positionLabel->setAlignment(Qt::AlignCenter);
    positionLabel->setAutoFillBackground(true);
    connect(&rotator, &SteppingMotor::signal_PositionErrorState, this, &RotatorState::stalled);
    connect(&rotator, &SteppingMotor::signal_InterfaceError, this, &RotatorState::silent);
    connect(&rotator, &SteppingMotor::signal_InterfaceReinit, this, &RotatorState::answering);
    refreshTimer.setInterval(kRefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &RotatorState::refresh);
    refreshTimer.start();
    show(Unknown);
}

void RotatorState::place(QGridLayout* layout)
{
    if (layout)
        layout->addWidget(positionLabel, layout->rowCount(), 0, 1, layout->columnCount());
}

void RotatorState::refresh()
{
    if (!positionLabel)
        return;
    const double angle = rotator.get_angle();
    positionLabel->setText(std::isnan(angle) ? QStringLiteral("Антенна: ---")
                                             : QStringLiteral("Антенна: %1°").arg(angle, 0, 'f', 1));
}

void RotatorState::stalled(bool isStalled)
{
    if (current == Silent)
        return;
    if (isStalled && journal)
        journal->append(JournalEntry::Rotator, QString(),
                        QStringLiteral("Мотор остановился: цель %1°").arg(target.value()));
    if (!isStalled && current == Stalled && journal)
        journal->append(JournalEntry::Rotator, QString(), QStringLiteral("Мотор снова движется"));
    show(isStalled ? Stalled : Following);
}

void RotatorState::silent()
{
    if (current != Silent && journal)
        journal->append(JournalEntry::Rotator, QString(), QStringLiteral("Контроллер поворотного устройства не отвечает"));
    show(Silent);
}

void RotatorState::answering()
{
    if (current == Silent && journal)
        journal->append(JournalEntry::Rotator, QString(), QStringLiteral("Контроллер поворотного устройства отвечает"));
    show(Following);
}

void RotatorState::show(State state)
{
    current = state;
    refresh();
    if (!positionLabel)
        return;
    QString tip;
    QColor colour;
    switch (state) {
    case Unknown:
        tip = QStringLiteral("Положение антенны ещё не известно");
        break;
    case Following:
        tip = QStringLiteral("Измеренное положение антенны; в поле угла — заданное");
        colour = QColor(0xc8, 0xf0, 0xc8);
        break;
    case Stalled:
        tip = QStringLiteral("Мотор не движется: антенна не доходит до заданного угла");
        colour = QColor(0xff, 0xc0, 0x40);
        break;
    case Silent:
        tip = QStringLiteral("Контроллер поворотного устройства не отвечает");
        colour = QColor(0xff, 0x80, 0x80);
        break;
    }
    QPalette palette = positionLabel->palette();
    palette.setColor(QPalette::Window, colour.isValid() ? colour : QPalette().color(QPalette::Window));
    positionLabel->setPalette(palette);
    positionLabel->setToolTip(tip);
    target.setToolTip(tip);
}
