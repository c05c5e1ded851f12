// The rotator controls of the antenna box and the thread that turns the antenna.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>

void MainWindow::sm_initialize(ushort)
{
    const int result = rotator.start_motor();
    if (result != 0) {
        qDebug() << "stepping motor init failed! " << result;
        return;
    }
    // The controls stay disabled until the controller answers.
    sm_interface_error();
}

void MainWindow::sm_set_device_addr(QString ip, ushort port)
{
    rotator.set_device_addr(QHostAddress(ip), port);
    rotator.request_reinit();
}

void MainWindow::sm_set_zero()
{
    rotator.request_zero();
    ui->sm_angle_spb->setValue(0);
    ui->sm_angle_spb->setStyleSheet(QStringLiteral("background-color: white;"));
}

void MainWindow::sm_interface_error()
{
    ui->sm_angle_spb->setStyleSheet(QStringLiteral("background-color: red;"));
    for (QWidget* control : { static_cast<QWidget*>(ui->sm_angle_spb), 
                              static_cast<QWidget*>(ui->sm_decr_step_pbt),
                              static_cast<QWidget*>(ui->sm_incr_step_pbt),
                              static_cast<QWidget*>(ui->sm_zero_position_pbt) })
        control->setEnabled(false);
}
