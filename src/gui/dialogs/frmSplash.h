#pragma once

#include <QWidget>

// The start-up splash: shows itself on Load and deletes itself after "SplashTime" seconds.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);
    ~frmSplash() override;

    void setEnableTimer(bool bEnableTimer); // before Load
    void Load();

private Q_SLOTS:
    void Timer1_Timer();

private:
    class Private;
    Private *d;
};
