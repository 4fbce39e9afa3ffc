#pragma once

#include <QDialog>

// The modal "Options..." dialog over the eight option values.
class frmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(QWidget *parent = nullptr);
    ~frmOptions() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Command1_Click(int index); // 0 Close, 1 Cancel
    void Command2_Click(); // Browse
    void Command3_Click(); // Test Alarm

    class Private;
    Private *d;
};
