#pragma once

#include <QDialog>

class Options;

// The modal "Options..." dialog over the eight option values: Close stores the edited values in
// options and in the settings.
class frmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(Options &options, QWidget *parent = nullptr);
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
