#pragma once
// Shows where the antenna really is beside the angle the operator asked for, and a stalled motor
// or a silent stepper controller as a coloured state with a tooltip, journaled.

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QTimer>

class Journal;
class QGridLayout;
class QSpinBox;
class SteppingMotor;

class RotatorState : public QObject {
    Q_OBJECT

public:
    enum State { Unknown, Following, Stalled, Silent };

    static constexpr int kRefreshMs = 200;

    RotatorState(SteppingMotor& rotator, QSpinBox& target, QObject* parent = nullptr);

    void setJournal(Journal* journal) { this->journal = journal; }
    // Puts the position label in a new last row of the layout.
    void place(QGridLayout* layout);
    State state() const { return current; }
    QLabel* label() const { return positionLabel; }

public slots:
    void refresh();
    void stalled(bool stalled);
    void silent();
    void answering();

private:
    void show(State state);

    SteppingMotor& rotator;
    QSpinBox& target;
    QPointer<QLabel> positionLabel; // owned by the panel it is placed in
    QTimer refreshTimer;
    State current = Unknown;
    Journal* journal = nullptr;
};
