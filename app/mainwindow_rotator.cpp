// The rotator controls of the antenna box and the thread that turns the antenna.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>

#include <cmath>

namespace {

void enableRotatorControls(Ui::MainWindow* ui, bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{ui->sm_angle_spb, ui->sm_decr_step_pbt,
                                                            ui->sm_incr_step_pbt, ui->sm_zero_position_pbt})
        control->setEnabled(enabled);
}

} // namespace

// The thread always binds its own port, 30000, whatever is asked here.
void MainWindow::sm_initialize(ushort)
{
    const int result = rotator.start_motor();
    if (result != 0) {
        qDebug() << "stepping motor init failed! " << result;
        return;
    }
    // The controls stay disabled until the controller answers.
    sm_interface_error();
    connect(ui->sm_angle_spb, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::sm_update_angle);
    connect(ui->sm_decr_step_pbt, &QPushButton::clicked, this, &MainWindow::sm_decr_angle);
    connect(ui->sm_incr_step_pbt, &QPushButton::clicked, this, &MainWindow::sm_incr_angle);
    connect(&rotator, &SteppingMotor::signal_InterfaceError, this, &MainWindow::sm_interface_error);
    connect(&rotator, &SteppingMotor::signal_InterfaceReinit, this, &MainWindow::sm_interface_reinit);
    const double angle = rotator.get_angle();
    if (!std::isnan(angle))
        ui->sm_angle_spb->setValue(qRound(angle));
}

void MainWindow::sm_set_device_addr(QString ip, ushort port)
{
    rotator.set_device_addr(QHostAddress(ip), port);
    rotator.request_reinit();
}

void MainWindow::sm_release()
{
    sm_interface_error();
    disconnect(ui->sm_angle_spb, QOverload<int>::of(&QSpinBox::valueChanged), this,
               &MainWindow::sm_update_angle);
    disconnect(ui->sm_decr_step_pbt, &QPushButton::clicked, this, &MainWindow::sm_decr_angle);
    disconnect(ui->sm_incr_step_pbt, &QPushButton::clicked, this, &MainWindow::sm_incr_angle);
    disconnect(&rotator, &SteppingMotor::signal_InterfaceError, this, &MainWindow::sm_interface_error);
    disconnect(&rotator, &SteppingMotor::signal_InterfaceReinit, this, &MainWindow::sm_interface_reinit);
    rotator.stop_motor();
}

void MainWindow::sm_set_zero()
{
    rotator.request_zero();
    ui->sm_angle_spb->setValue(0);
    ui->sm_angle_spb->setStyleSheet(QStringLiteral("background-color: white;"));
}

void MainWindow::sm_update_angle()
{
    rotator.set_angle(ui->sm_angle_spb->value());
}

void MainWindow::sm_decr_angle()
{
    ui->sm_angle_spb->stepDown();
}

void MainWindow::sm_incr_angle()
{
    ui->sm_angle_spb->stepUp();
}

void MainWindow::sm_interface_error()
{
    ui->sm_angle_spb->setStyleSheet(QStringLiteral("background-color: red;"));
    enableRotatorControls(ui, false);
}

void MainWindow::sm_interface_reinit()
{
    ui->sm_angle_spb->setStyleSheet(QStringLiteral("background-color: white;"));
    // The controller may have fallen silent again since it signalled; then the box keeps its
    // value rather than turning the antenna to wherever an unknown angle would put it.
    const double angle = rotator.get_angle();
    if (!std::isnan(angle))
        ui->sm_angle_spb->setValue(int(angle));
    enableRotatorControls(ui, true);
}
