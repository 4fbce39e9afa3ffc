#pragma once

#include <QDialog>

// The modal "Options..." dialog over the eight option values.
class frmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(QWidget *parent = nullptr);
    ~frmOptions() override;

private:
    class Private;
    Private *d;
};
